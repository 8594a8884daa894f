#include "package/extract.h"

#include <windows.h>

#include "package/resource_view.h"
#include "startup/setup_state.h"

namespace {
// Set only for a file that this run has written, so the clean-up never
// touches a file of the same bare name elsewhere (such as the user's own
// package in the current directory).
bool packageWritten = false;
bool transformWritten = false;

Text decimalText(const char* format, int value) {
    char digits[16];
    wsprintfA(digits, format, value);
    return Text(digits);
}

void showCreateFailure(const Text& path) {
    Text message("Could not create a file named: ");
    message.append(path).append(". Please make sure that file doesn't already exist and you have "
                                "write permission to the directory.");
    MessageBoxA(nullptr, message.c_str(), setupState.productName.c_str(), MB_OK);
}

void deleteWritten(bool& written, const Text& path) {
    if (written && !path.empty())
        DeleteFileA(path.c_str());
    written = false;
}
} // namespace

Text transformResourceName(int lcid) { return Text("LANG").append(decimalText("%d", lcid)); }

Text transformFileName(int lcid) { return decimalText("%04d", lcid).append(".MST"); }

bool writeResourceToTempFolder(const char* resourceName, Text& fileName) {
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

    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        showCreateFailure(path);
        return false;
    }
    // One write straight from the resource view: the package is never copied.
    DWORD written = 0;
    BOOL ok = WriteFile(file, view.data, view.size, &written, nullptr) && written == view.size;
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileA(path.c_str());
        return false;
    }
    fileName = path;
    return true;
}

bool extractPackageFiles() {
    Text resourceName = transformResourceName(setupState.languageId);
    if (!writeResourceToTempFolder("PACKAGEFILE", setupState.packagePath))
        return false;
    packageWritten = true;
    if (setupState.languageId == 1033 || !resourceExists(resourceName.c_str())) {
        setupState.transformPath.clear();
        return true;
    }
    if (writeResourceToTempFolder(resourceName.c_str(), setupState.transformPath)) {
        transformWritten = true;
        return true;
    }
    deleteWritten(packageWritten, setupState.packagePath);
    return false;
}

void deleteExtractedFiles() {
    if (!setupState.packageEmbedded)
        return;
    deleteWritten(packageWritten, setupState.packagePath);
    deleteWritten(transformWritten, setupState.transformPath);
}
