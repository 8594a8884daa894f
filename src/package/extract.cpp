#include "package/extract.h"

#include <windows.h>

#include "base/setup_format.h"
#include "os/handle.h"
#include "os/private_folder.h"
#include "os/resource_view.h"
#include "state/setup_state.h"

namespace {
// A file that this run has written. `written` is set only then, so the
// clean-up never touches a file of the same bare name elsewhere (such as the
// user's own package in the current directory). The file stays open for
// reading, shared for reading only, until the clean-up: nothing can replace
// or delete it under the installer that reads it.
struct WrittenFile {
    bool written = false;
    OSHandle held;
};
WrittenFile package;
WrittenFile transform;

// The folder of this run inside the temporary folder, made when the first
// file is written. Fixed names in a folder that everybody may write into
// (the SYSTEM account's temporary folder) would let another user plant a
// link there, or swap the package before the installer reads it.
PrivateFolder folder;

#ifndef SETUP_WRITE_PIECE
#define SETUP_WRITE_PIECE (1024 * 1024)
#endif
// Bytes handed to one WriteFile. A single write of hundreds of MiB pins the
// whole buffer for the call and is slow under Wine; bounded pieces are not.
const DWORD writePiece = SETUP_WRITE_PIECE;

// Writes straight from the resource view, piece by piece: the package is
// never copied. A short write is a failure.
bool writeInPieces(HANDLE file, const void* data, DWORD size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        DWORD piece = size < writePiece ? size : writePiece;
        DWORD written = 0;
        if (!WriteFile(file, next, piece, &written, nullptr) || written != piece)
            return false;
        next += piece;
        size -= piece;
    }
    return true;
}

void deleteWritten(WrittenFile& file, const Text& path) {
    file.held.close();
    if (file.written && !path.empty())
        DeleteFileA(path.c_str());
    file.written = false;
}

// Makes this run's folder unless it exists, after checking that a file of
// `nameLength` characters fits into it: the whole path counts against
// MAX_PATH. A folder that cannot be made is reported like a file that
// cannot be created: `notCreated` gets its full path.
bool haveFolder(size_t nameLength, Text& notCreated) {
    char temp[MAX_PATH];
    DWORD tempLength = GetTempPathA(MAX_PATH, temp);
    // A longer folder makes the system return the size it needs instead.
    if (tempLength == 0 || tempLength >= MAX_PATH)
        return false;
    if (tempLength + privateFolderNameLength + 1 + nameLength >= MAX_PATH)
        return false;
    if (folder.made())
        return true;
    Text parent(temp, tempLength);
    if (folder.create(parent))
        return true;
    notCreated = folder.path().empty() ? parent : folder.path();
    folder.remove();
    return false;
}

// Writes the resource into this run's folder under the bare name held in
// `fileName`, as a new file, then opens it again for reading, shared for
// reading only: `held` gets that handle. A file that cannot be opened again
// is deleted and counts as not written. A file or folder that cannot be
// created is named in `notCreated`.
bool writeAndHold(const char* resourceName, Text& fileName, OSHandle& held, Text& notCreated) {
    held.close();
    ResourceView view;
    if (!loadResourceBytes(resourceName, view) || !haveFolder(fileName.size(), notCreated))
        return false;
    Text path(folder.path());
    path.append(fileName);

    OSHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, folder.security(), CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        notCreated = path;
        return false;
    }
    bool ok = writeInPieces(file.get(), view.data, view.size);
    ok = file.close() && ok;
    if (ok)
        held.attach(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held.isOpen()) {
        DeleteFileA(path.c_str());
        return false;
    }
    fileName = path;
    return true;
}
// A bare file name: nothing that would lead out of the folder it is put in.
bool isBareName(const Text& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':')
            return false;
    return true;
}

// Makes every missing folder on `path` (a full path that ends with a
// backslash), outermost first, and adds each one made to `made`.
bool makeFolders(const Text& path, List<Text>& made) {
    // Past the root: "C:\" or "\\server\share\".
    size_t start = 3;
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        int separators = 0;
        for (start = 2; start < path.size() && separators < 2; ++start)
            separators += path[start] == '\\';
    }
    for (size_t i = start; i < path.size(); ++i) {
        if (path[i] != '\\')
            continue;
        Text folder(path.c_str(), i);
        DWORD attributes = GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return false;
            continue;
        }
        if (!CreateDirectoryA(folder.c_str(), nullptr))
            return false;
        made.add(folder);
    }
    return true;
}

// Writes the resource as the new file `path`: never through or over
// anything of that name.
FolderExtraction writeNewFile(const char* resourceName, const Text& path) {
    ResourceView view;
    if (!loadResourceBytes(resourceName, view))
        return FolderExtraction::writeFailed;
    OSHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                   ? FolderExtraction::fileExists
                   : FolderExtraction::writeFailed;
    }
    bool ok = writeInPieces(file.get(), view.data, view.size);
    if (file.close() && ok)
        return FolderExtraction::done;
    DeleteFileA(path.c_str());
    return FolderExtraction::writeFailed;
}
} // namespace

Text transformResourceName(int lcid) {
    char name[setup_format::transformNameCapacity];
    setup_format::transformResourceName(lcid, name);
    return Text(name);
}

Text transformFileName(int lcid) {
    char name[setup_format::transformNameCapacity];
    setup_format::transformFileName(lcid, name);
    return Text(name);
}

bool writeResourceToTempFolder(const char* resourceName, Text& fileName) {
    OSHandle held;
    Text notCreated;
    return writeAndHold(resourceName, fileName, held, notCreated);
}

bool extractPackageFiles(Text& notCreated) {
    Text resourceName = transformResourceName(setupState.languageId);
    if (!writeAndHold(setup_format::packageResource, setupState.packagePath, package.held,
                      notCreated)) {
        folder.remove();
        return false;
    }
    package.written = true;
    if (setupState.languageId == setup_format::baseLanguage ||
        !resourceExists(resourceName.c_str())) {
        setupState.transformPath.clear();
        return true;
    }
    if (writeAndHold(resourceName.c_str(), setupState.transformPath, transform.held, notCreated)) {
        transform.written = true;
        return true;
    }
    deleteWritten(package, setupState.packagePath);
    folder.remove();
    return false;
}

void deleteExtractedFiles() {
    if (setupState.packageEmbedded) {
        deleteWritten(package, setupState.packagePath);
        deleteWritten(transform, setupState.transformPath);
    }
    folder.remove();
}

FolderExtraction extractToFolder(const Text& folderText, List<Text>& written, Text& failedPath) {
    written.clear();
    failedPath.clear();
    if (!resourceExists(setup_format::packageResource))
        return FolderExtraction::noPackage;
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(folderText.c_str(), MAX_PATH, full, nullptr);
    failedPath = folderText;
    if (length == 0)
        return FolderExtraction::folderNotMade;
    if (length >= MAX_PATH)
        return FolderExtraction::pathTooLong;
    Text folder(full, length);
    if (folder[folder.size() - 1] != '\\')
        folder.append('\\');

    // What to write, each path checked before anything is.
    List<Text> resources, paths;
    resources.add(Text(setup_format::packageResource));
    paths.add(Text(folder).append(setupState.packagePath));
    for (size_t i = 0; i < setup_format::knownLanguageCount; ++i) {
        int lcid = setup_format::knownLanguages[i];
        Text resource = transformResourceName(lcid);
        if (lcid == setup_format::baseLanguage || !resourceExists(resource.c_str()))
            continue;
        resources.add(resource);
        paths.add(Text(folder).append(transformFileName(lcid)));
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        failedPath = paths[i];
        if (i == 0 && !isBareName(setupState.packagePath))
            return FolderExtraction::writeFailed;
        if (paths[i].size() >= MAX_PATH)
            return FolderExtraction::pathTooLong;
    }

    List<Text> made;
    FolderExtraction result = FolderExtraction::done;
    if (!makeFolders(folder, made)) {
        failedPath = folder;
        result = FolderExtraction::folderNotMade;
    }
    for (size_t i = 0; i < paths.size() && result == FolderExtraction::done; ++i) {
        failedPath = paths[i];
        result = writeNewFile(resources[i].c_str(), paths[i]);
        if (result == FolderExtraction::done)
            written.add(paths[i]);
    }
    if (result == FolderExtraction::done) {
        failedPath.clear();
        return result;
    }
    for (size_t i = 0; i < written.size(); ++i)
        DeleteFileA(written[i].c_str());
    written.clear();
    for (size_t i = made.size(); i > 0; --i)
        RemoveDirectoryA(made[i - 1].c_str());
    return result;
}
