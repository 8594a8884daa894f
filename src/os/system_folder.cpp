#include "os/system_folder.h"

#include <windows.h>

#include <cstring>

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

void restrictDllSearchToSystemFolder() {
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return;
    // Looked up by name: systems before Windows 8 without the update lack it.
    FARPROC address = GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (!address)
        return;
    SetDefaultDllDirectoriesFunction setDefaultDllDirectories;
    static_assert(sizeof(address) == sizeof(setDefaultDllDirectories), "function pointer size");
    std::memcpy(&setDefaultDllDirectories, &address, sizeof(address));
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
