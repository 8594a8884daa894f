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

namespace {
// Appends TEXT at the end of the marker file. Two stand-ins run at once in
// the two-setups case, and Wine does not make appends from two processes
// atomic, so each append takes a mutex shared by every stand-in and writes
// at the end it finds.
bool appendToMarker(const char* marker, const char* text) {
    HANDLE lock = CreateMutexA(nullptr, FALSE, "setup-test-stand-in-marker");
    if (!lock)
        return false;
    WaitForSingleObject(lock, INFINITE);
    bool done = false;
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        DWORD length = static_cast<DWORD>(lstrlenA(text));
        done = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
               WriteFile(file, text, length, &written, nullptr) && written == length;
        FlushFileBuffers(file);
        CloseHandle(file);
    }
    ReleaseMutex(lock);
    CloseHandle(lock);
    return done;
}
} // namespace

int main() {
    char marker[MAX_PATH + 8] = {};
    DWORD length = GetModuleFileNameA(nullptr, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    lstrcatA(marker, ".ran");
    // Written before the wait, so that a test can read it meanwhile.
    const char* commandLine = GetCommandLineA();
    if (!appendToMarker(marker, commandLine))
        return 1;
    if (STAND_IN_SECONDS > 0) {
        Sleep(STAND_IN_SECONDS * 1000);
        char package[MAX_PATH] = {};
        packagePath(commandLine, package, MAX_PATH);
        const char* end = GetFileAttributesA(package) != INVALID_FILE_ATTRIBUTES
                              ? "\npackage there at the end"
                              : "\npackage gone at the end";
        if (!appendToMarker(marker, end))
            return 1;
    }
    return STAND_IN_EXIT;
}
