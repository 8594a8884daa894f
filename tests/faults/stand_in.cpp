// A program planted where a setup must never look for msiexec.exe, or put
// in place of the system's msiexec.exe. When it runs it writes its command
// line into a marker file beside itself (its own path with ".ran" added),
// then, when built with STAND_IN_SECONDS, runs that long before it ends.
#include <windows.h>

#ifndef STAND_IN_SECONDS
#define STAND_IN_SECONDS 0
#endif

int main() {
    char marker[MAX_PATH + 8] = {};
    DWORD length = GetModuleFileNameA(nullptr, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    lstrcatA(marker, ".ran");
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const char* commandLine = GetCommandLineA();
        DWORD written = 0;
        WriteFile(file, commandLine, lstrlenA(commandLine), &written, nullptr);
        CloseHandle(file);
    }
    Sleep(STAND_IN_SECONDS * 1000);
    return 0;
}
