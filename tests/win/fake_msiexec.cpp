// Stands in for msiexec.exe in the launch tests: records how it was started
// (its command line, current directory and own path, one per line) in
// fake_msiexec_record.txt in the temporary folder, and ends with exit code
// 1641, which no real start of the test would give.
#include <windows.h>

#include <cstdio>

int main() {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH - 32)
        return 1;
    lstrcatA(temp, "fake_msiexec_record.txt");
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);

    FILE* record = std::fopen(temp, "wb");
    if (!record)
        return 1;
    std::fprintf(record, "%s\n%s\n%s\n", GetCommandLineA(), directory, module);
    std::fclose(record);
    return 1641;
}
