// agreement_check SETUP FOLDER LCID...: a setup packed by setup-pack, and the
// folder its --extract wrote, read through setup_format.h alone, as the
// setup reads them: every resource the setup looks for is there in the type
// and language it asks for, LANGUAGES is the base language and then LCID...,
// each of those has its LANG resource, and the folder holds exactly the
// package under PACKAGENAME and each transform under transformFileName(lcid),
// byte for byte. No RT_RCDATA resource is left that the setup would not read.
// Prints "ok ..." or "FAIL ..." per check; exits 1 when one failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/setup_format.h"

namespace {
int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok)
        ++failures;
}

HMODULE setup = nullptr;

// The bytes of a resource of the setup's type and language; empty when absent.
std::string resourceBytes(const char* name) {
    HRSRC found = FindResourceExA(setup, MAKEINTRESOURCEA(setup_format::resourceType), name,
                                  setup_format::resourceLanguage);
    HGLOBAL loaded = found ? LoadResource(setup, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(setup, found)) : std::string();
}

// A UTF-16LE text resource up to its terminator.
std::wstring resourceText(const char* name) {
    std::string bytes = resourceBytes(name);
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (!unit)
            break;
        text += unit;
    }
    return text;
}

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string fileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(cannot be opened)";
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::string>*>(names)->push_back(name);
    return TRUE;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: agreement_check SETUP FOLDER LCID...\n");
        return 2;
    }
    setup = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    check(setup != nullptr, std::string("the setup loads: ") + argv[1]);
    if (!setup)
        return 1;
    const std::wstring folder = widen(argv[2]) + L"\\";
    std::vector<int32_t> transforms;
    for (int i = 3; i < argc; ++i)
        transforms.push_back(std::atoi(argv[i]));

    // What the setup reads, by the names it reads them by.
    const char* const texts[] = {
        setup_format::packageResource,     setup_format::packageNameResource,
        setup_format::productCodeResource, setup_format::productNameResource,
        setup_format::versionResource,     setup_format::languagesResource,
        setup_format::logPathResource};
    for (const char* name : texts)
        check(!resourceBytes(name).empty(), std::string("resource ") + name);
    check(FindResourceA(setup, MAKEINTRESOURCEA(setup_format::setupDialogId),
                        MAKEINTRESOURCEA(setup_format::dialogType)) != nullptr,
          "the language dialog");
    HRSRC manifest = FindResourceA(setup, MAKEINTRESOURCEA(setup_format::manifestId),
                                   MAKEINTRESOURCEA(setup_format::manifestType));
    HGLOBAL manifestData = manifest ? LoadResource(setup, manifest) : nullptr;
    std::string manifestText =
        manifestData ? std::string(static_cast<const char*>(LockResource(manifestData)),
                                   SizeofResource(setup, manifest))
                     : std::string();
    check(manifestText.find(std::string("name=\"") + setup_format::manifestAssemblyName + "\"") !=
              std::string::npos,
          "the manifest names the assembly");

    // LANGUAGES: the base language, then one transform per language.
    std::wstring languages = resourceText(setup_format::languagesResource);
    std::wstring expected = std::to_wstring(setup_format::baseLanguage);
    for (int32_t lcid : transforms)
        expected +=
            static_cast<wchar_t>(setup_format::languageListSeparator) + std::to_wstring(lcid);
    check(languages == expected, "LANGUAGES is the base language and the transforms' in order");
    std::set<std::string> transformResources;
    for (int32_t lcid : transforms) {
        char resource[setup_format::transformNameCapacity];
        char file[setup_format::transformNameCapacity];
        setup_format::transformResourceName(lcid, resource);
        setup_format::transformFileName(lcid, file);
        transformResources.insert(resource);
        check(setup_format::isKnownLanguage(lcid), "a known language: " + std::to_string(lcid));
        std::string bytes = resourceBytes(resource);
        check(!bytes.empty(), std::string("resource ") + resource);
        check(fileBytes(folder + widen(file)) == bytes,
              std::string("--extract wrote ") + file + " as " + resource + " holds it");
    }
    std::wstring packageName = resourceText(setup_format::packageNameResource);
    check(!packageName.empty() &&
              fileBytes(folder + packageName) == resourceBytes(setup_format::packageResource),
          "--extract wrote the package under PACKAGENAME");

    // Nothing else: every RT_RCDATA name is one the setup reads.
    std::vector<std::string> names;
    EnumResourceNamesA(setup, MAKEINTRESOURCEA(setup_format::resourceType), collectName,
                       reinterpret_cast<LONG_PTR>(&names));
    for (const std::string& name : names) {
        bool read = transformResources.count(name) > 0;
        for (const char* text : texts)
            read = read || name == text;
        check(read && name.size() <= setup_format::maxResourceNameLength,
              "the setup reads resource " + name);
    }
    check(names.size() == sizeof texts / sizeof texts[0] + transforms.size(),
          std::to_string(names.size()) + " resources in all");

    // And the folder holds nothing else.
    size_t files = 0;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ++files;
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    check(files == 1 + transforms.size(), std::to_string(files) + " files extracted");
    FreeLibrary(setup);
    return failures ? 1 : 0;
}
