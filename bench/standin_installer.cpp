// Stands in for msiexec.exe in the benchmarks: it does nothing and exits at
// once, so that what is measured is the setup's own work. With the
// environment variable BENCH_INSTALLER_MS it first waits that long, which
// holds the setup at its peak while its memory is sampled.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char value[16];
    DWORD length = GetEnvironmentVariableA("BENCH_INSTALLER_MS", value, sizeof(value));
    if (length > 0 && length < sizeof(value))
        Sleep(static_cast<DWORD>(std::strtoul(value, nullptr, 10)));
    return 0;
}
