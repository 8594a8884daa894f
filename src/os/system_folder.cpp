#include "os/system_folder.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

Text systemFilePath(const char* fileName) {
    Text path;
    UINT length = GetSystemDirectoryA(nullptr, 0); // counts the terminator
    if (length == 0)
        return path;
    UINT written = GetSystemDirectoryA(path.reserve(length), length);
    if (written == 0 || written >= length)
        return Text();
    path.resize(written);
    if (path[path.size() - 1] != '\\')
        path.append('\\');
    return path.append(fileName);
}

HMODULE loadSystemLibrary(const char* fileName) {
    HMODULE module = LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module)
        return module;
    // Systems without the search flags refuse it as an invalid parameter.
    Text path = systemFilePath(fileName);
    return path.empty() ? nullptr
                        : LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void restrictDllSearchToSystemFolder() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    // Looked up by name: systems before Windows 8 without the update lack it.
    auto setDefaultDllDirectories = libraryFunction<SetDefaultDllDirectoriesFunction>(
        GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

Text currentDirectory() {
    Text directory;
    DWORD length = GetCurrentDirectoryA(0, nullptr); // counts the terminator
    if (length == 0)
        return directory;
    DWORD written = GetCurrentDirectoryA(length, directory.reserve(length));
    if (written == 0 || written >= length)
        return Text();
    directory.resize(written);
    return directory;
}

Text writableFilePath(const Text& path) {
    // Within MAX_PATH: the installer opens its log by a path of that length.
    char full[MAX_PATH];
    char* name = nullptr; // none when the path ends in a separator
    DWORD length = path.empty() ? 0 : GetFullPathNameA(path.c_str(), MAX_PATH, full, &name);
    if (length == 0 || length >= MAX_PATH || !name || !*name)
        return Text();
    // Not there yet is fine; a folder that is missing, a name that no file
    // may have, a folder or a read-only file of that name are not.
    DWORD attributes = GetFileAttributesA(full);
    bool usable = attributes == INVALID_FILE_ATTRIBUTES
                      ? GetLastError() == ERROR_FILE_NOT_FOUND
                      : !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    return usable ? Text(full, length) : Text();
}
