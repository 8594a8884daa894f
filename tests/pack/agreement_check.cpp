// agreement_check SETUP FOLDER LCID...: a packed setup and what --extract
// wrote from it, read through setup_format.h alone: every resource the setup
// reads is there in the type and language it asks for, and no other;
// LANGUAGES is the base language, then LCID..., each with its LANG resource;
// the folder holds exactly the package under PACKAGENAME and each transform
// under transformFileName(lcid), byte for byte. Prints "ok"/"FAIL" per check
// and exits 1 when one failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/setup_format.h"

namespace {
int failures = 0;
HMODULE setup = nullptr;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    failures += ok ? 0 : 1;
}

std::string bytesOf(HRSRC found) {
    HGLOBAL loaded = found ? LoadResource(setup, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(setup, found)) : std::string();
}

std::string resource(const std::string& name) {
    return bytesOf(FindResourceExA(setup, MAKEINTRESOURCEA(setup_format::resourceType),
                                   name.c_str(), setup_format::resourceLanguage));
}

// A UTF-16LE text up to its terminator.
std::wstring text(const std::string& bytes) {
    std::wstring units(bytes.size() / 2, L'\0');
    bytes.copy(reinterpret_cast<char*>(&units[0]), units.size() * 2);
    return units.substr(0, units.find(L'\0'));
}

std::string file(const std::wstring& path) {
    std::string bytes;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    char buffer[65536];
    DWORD read = 0;
    while (handle != INVALID_HANDLE_VALUE &&
           ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return bytes;
}

BOOL CALLBACK countName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}
} // namespace

int main(int argc, char** argv) {
    setup = argc > 2 ? LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    check(setup != nullptr, "the setup loads");
    if (!setup)
        return 1;
    std::string folderText = std::string(argv[2]) + "\\";
    const std::wstring folder(folderText.begin(), folderText.end());

    const char* const texts[] = {
        setup_format::packageResource,     setup_format::packageNameResource,
        setup_format::productCodeResource, setup_format::productNameResource,
        setup_format::versionResource,     setup_format::languagesResource,
        setup_format::logPathResource};
    for (const char* name : texts)
        check(!resource(name).empty(), name);
    check(FindResourceA(setup, MAKEINTRESOURCEA(setup_format::setupDialogId),
                        MAKEINTRESOURCEA(setup_format::dialogType)) != nullptr,
          "the language dialog");
    std::string manifest = bytesOf(FindResourceA(setup, MAKEINTRESOURCEA(setup_format::manifestId),
                                                 MAKEINTRESOURCEA(setup_format::manifestType)));
    check(manifest.find("name=\"" + std::string(setup_format::manifestAssemblyName) + "\"") !=
              std::string::npos,
          "the manifest's assembly name");

    std::wstring expected = std::to_wstring(setup_format::baseLanguage);
    for (int i = 3; i < argc; ++i) {
        int32_t lcid = std::atoi(argv[i]);
        expected += static_cast<wchar_t>(setup_format::languageListSeparator);
        expected += std::to_wstring(lcid);
        char name[setup_format::transformNameCapacity];
        char fileName[setup_format::transformNameCapacity];
        setup_format::transformResourceName(lcid, name);
        setup_format::transformFileName(lcid, fileName);
        check(setup_format::isKnownLanguage(lcid) && !resource(name).empty(), name);
        check(file(folder + std::wstring(fileName, fileName + std::strlen(fileName))) ==
                  resource(name),
              std::string("--extract wrote ") + fileName + " as " + name + " holds it");
    }
    check(text(resource(setup_format::languagesResource)) == expected,
          "LANGUAGES: the base language, then the transforms'");
    std::wstring packageName = text(resource(setup_format::packageNameResource));
    check(!packageName.empty() &&
              file(folder + packageName) == resource(setup_format::packageResource),
          "--extract wrote the package under PACKAGENAME");

    // Nothing the setup does not read, in the setup or in the folder.
    size_t names = 0, files = 0;
    EnumResourceNamesA(setup, MAKEINTRESOURCEA(setup_format::resourceType), countName,
                       reinterpret_cast<LONG_PTR>(&names));
    check(names == sizeof texts / sizeof texts[0] + (argc - 3),
          std::to_string(names) + " resources");
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry))
        files += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    check(files == 1 + static_cast<size_t>(argc - 3), std::to_string(files) + " files extracted");
    return failures ? 1 : 0;
}
