// A program planted where a setup must never look for msiexec.exe, or put
// in place of the system's msiexec.exe. When it runs it writes its command
// line at the end of a marker file beside itself (its own path with ".ran"
// added),
// then, when built with STAND_IN_SECONDS, runs that long before it ends
// with STAND_IN_EXIT; a stand-in that waits appends to the marker, at its
// end, whether the package it was given (after /i) is still there.
#include <windows.h>

#ifndef STAND_IN_SECONDS
#define STAND_IN_SECONDS 0
#endif
#ifndef STAND_IN_EXIT
#define STAND_IN_EXIT 0
#endif

namespace {
// The quoted path after "/i " on the command line, or empty.
void packagePath(const char* commandLine, char* path, int size) {
    path[0] = 0;
    for (const char* at = commandLine; *at; ++at) {
        if (at[0] != '/' || at[1] != 'i' || at[2] != ' ' || at[3] != '"')
            continue;
        const char* start = at + 4;
        int length = 0;
        while (start[length] && start[length] != '"' && length + 1 < size)
            ++length;
        lstrcpynA(path, start, length + 1);
        return;
    }
}
} // namespace

int main() {
    char marker[MAX_PATH + 8] = {};
    DWORD length = GetModuleFileNameA(nullptr, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    lstrcatA(marker, ".ran");
    // Appended to, so that two stand-ins at once both leave their lines.
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const char* commandLine = GetCommandLineA();
    DWORD written = 0;
    WriteFile(file, commandLine, lstrlenA(commandLine), &written, nullptr);
    if (STAND_IN_SECONDS > 0) {
        // Written before the wait, so that a test can read it meanwhile.
        FlushFileBuffers(file);
        Sleep(STAND_IN_SECONDS * 1000);
        char package[MAX_PATH] = {};
        packagePath(commandLine, package, MAX_PATH);
        const char* end = GetFileAttributesA(package) != INVALID_FILE_ATTRIBUTES
                              ? "\npackage there at the end"
                              : "\npackage gone at the end";
        WriteFile(file, end, lstrlenA(end), &written, nullptr);
    }
    CloseHandle(file);
    return STAND_IN_EXIT;
}
