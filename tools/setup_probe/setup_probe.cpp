// setup-probe: what scripts/run needs to see from the Windows side.
//   setup-probe run PROGRAM [ARGS...]  runs the program, waits for it and
//                                      prints "exit code N" (the full 32-bit
//                                      code, which a Unix shell cannot see)
//   setup-probe product {GUID}         prints the installed product's name
//                                      and version, or "not installed"
//   setup-probe temp                   prints the temporary folder
//   setup-probe resource SETUP NAME    prints the bytes of the setup's
//                                      RT_RCDATA resource NAME (language
//                                      1033) in hex, as the loader gives them
#include <windows.h>

#include <msi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Quotes an argument the way the C runtime splits a command line.
std::string quoted(const char* argument) {
    std::string text = "\"";
    size_t backslashes = 0;
    for (const char* c = argument; *c; ++c) {
        if (*c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(*c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += *c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

int run(int argc, char** argv) {
    std::string commandLine;
    for (int i = 0; i < argc; ++i)
        commandLine += (i ? " " : "") + quoted(argv[i]);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("cannot start %s: error %lu\n", argv[0], GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("exit code %ld\n", static_cast<long>(code));
    return 0;
}

std::string productInfo(const char* productCode, const char* property) {
    char value[256];
    DWORD length = sizeof value;
    if (MsiGetProductInfoA(productCode, property, value, &length) != ERROR_SUCCESS)
        return std::string();
    return value;
}

int product(const char* productCode) {
    std::string version = productInfo(productCode, INSTALLPROPERTY_VERSIONSTRING);
    if (version.empty()) {
        std::printf("not installed\n");
        return 1;
    }
    std::printf("%s %s\n", productInfo(productCode, INSTALLPROPERTY_INSTALLEDPRODUCTNAME).c_str(),
                version.c_str());
    return 0;
}

// The resource through the system's own functions, never our reader.
int resource(const char* path, const char* name) {
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceExA(module, MAKEINTRESOURCEA(10), name, 1033) : nullptr;
    const unsigned char* data =
        found ? static_cast<const unsigned char*>(LockResource(LoadResource(module, found)))
              : nullptr;
    if (!data) {
        std::printf("no resource %s: error %lu\n", name, GetLastError());
        return 1;
    }
    for (DWORD i = 0, size = SizeofResource(module, found); i < size; ++i)
        std::printf("%02x", data[i]);
    std::printf("\n");
    FreeLibrary(module);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0)
        return run(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "product") == 0)
        return product(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "temp") == 0) {
        char folder[MAX_PATH];
        DWORD length = GetTempPathA(MAX_PATH, folder);
        std::printf("%s\n", length && length < MAX_PATH ? folder : "");
        return length && length < MAX_PATH ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "resource") == 0)
        return resource(argv[2], argv[3]);
    std::fprintf(stderr, "usage: setup-probe run PROGRAM [ARGS...] | product {GUID} | temp | "
                         "resource SETUP NAME\n");
    return 1;
}
