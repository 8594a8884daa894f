#include "package/extract.h"

#include <windows.h>

#include "os/handle.h"
#include "os/resource_view.h"
#include "startup/setup_state.h"

namespace {
// A file that this run has written. `written` is set only then, so the
// clean-up never touches a file of the same bare name elsewhere (such as the
// user's own package in the current directory). The file stays open for
// reading until the clean-up: another setup of the same package, which
// writes the same path, can then neither replace nor delete it under the
// installer that reads it, and gets the box about the file instead.
struct WrittenFile {
    bool written = false;
    OSHandle held;
};
WrittenFile package;
WrittenFile transform;

Text decimalText(const char* format, int value) {
    char digits[16];
    wsprintfA(digits, format, value);
    return Text(digits);
}

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

void showCreateFailure(const Text& path) {
    Text message("Could not create a file named: ");
    message.append(path).append(". Please make sure that file doesn't already exist and you have "
                                "write permission to the directory.");
    MessageBoxA(nullptr, message.c_str(), setupState.productName.c_str(), MB_OK);
}

void deleteWritten(WrittenFile& file, const Text& path) {
    file.held.close();
    if (file.written && !path.empty())
        DeleteFileA(path.c_str());
    file.written = false;
}

// Writes the resource as writeResourceToTempFolder does and then opens the
// file again for reading, shared for reading only: `held` gets that handle,
// or stays empty when the file could not be opened again (another setup got
// in between; the file is then used unheld).
bool writeAndHold(const char* resourceName, Text& fileName, OSHandle& held) {
    held.close();
    ResourceView view;
    if (!loadResourceBytes(resourceName, view))
        return false;
    char folder[MAX_PATH];
    DWORD folderLength = GetTempPathA(MAX_PATH, folder);
    // A longer folder makes the system return the size it needs instead.
    if (folderLength == 0 || folderLength >= MAX_PATH)
        return false;
    if (folderLength + fileName.size() >= MAX_PATH)
        return false;
    Text path(folder, folderLength);
    path.append(fileName);

    OSHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        showCreateFailure(path);
        return false;
    }
    bool ok = writeInPieces(file.get(), view.data, view.size);
    ok = file.close() && ok;
    if (!ok) {
        DeleteFileA(path.c_str());
        return false;
    }
    held.attach(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    fileName = path;
    return true;
}
} // namespace

Text transformResourceName(int lcid) {
    return Text("LANG").append(decimalText("%d", lcid));
}

Text transformFileName(int lcid) {
    return decimalText("%04d", lcid).append(".MST");
}

bool writeResourceToTempFolder(const char* resourceName, Text& fileName) {
    OSHandle held;
    return writeAndHold(resourceName, fileName, held);
}

bool extractPackageFiles() {
    Text resourceName = transformResourceName(setupState.languageId);
    if (!writeAndHold("PACKAGEFILE", setupState.packagePath, package.held))
        return false;
    package.written = true;
    if (setupState.languageId == 1033 || !resourceExists(resourceName.c_str())) {
        setupState.transformPath.clear();
        return true;
    }
    if (writeAndHold(resourceName.c_str(), setupState.transformPath, transform.held)) {
        transform.written = true;
        return true;
    }
    deleteWritten(package, setupState.packagePath);
    return false;
}

void deleteExtractedFiles() {
    if (!setupState.packageEmbedded)
        return;
    deleteWritten(package, setupState.packagePath);
    deleteWritten(transform, setupState.transformPath);
}
