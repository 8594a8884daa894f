// A msi.dll planted beside a setup program and in its current directory.
// Loading it leaves a marker file beside it (its own path with ".loaded"
// added); its MsiGetProductInfoA reports every product as unknown, so a
// setup that used it would go on as if nothing were installed.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char marker[MAX_PATH + 8] = {};
    DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    lstrcatA(marker, ".loaded");
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}

extern "C" UINT WINAPI MsiGetProductInfoA(const char*, const char*, char*, DWORD*) {
    return ERROR_UNKNOWN_PRODUCT;
}
