#include "setup_pack/setup_contents.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "os/handle.h"
#include "setup_pack/data_module.h"
#include "setup_pack/options.h"
#include "pe/pe_image.h"
#include "setup_pack/system_message.h"
#include "setup_pack/utf8.h"

namespace {

const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::optional<std::vector<unsigned char>> resourceBytes(HMODULE module, const wchar_t* name) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(10), name, english); // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const unsigned char* data =
        loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
    if (!data)
        return std::nullopt;
    return std::vector<unsigned char>(data, data + SizeofResource(module, found));
}

// A UTF-16LE text resource up to its terminator.
std::optional<std::string> resourceText(HMODULE module, const wchar_t* name) {
    std::optional<std::vector<unsigned char>> bytes = resourceBytes(module, name);
    if (!bytes)
        return std::nullopt;
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes->size(); i += 2) {
        wchar_t unit = static_cast<wchar_t>((*bytes)[i] | (*bytes)[i + 1] << 8);
        if (unit == L'\0')
            break;
        text += unit;
    }
    return narrow(text);
}

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(name);
    return TRUE;
}

// "LANG" and a decimal LCID, as setup-pack names a transform's resource.
int32_t transformLcid(const std::wstring& name) {
    if (name.size() < 5 || name.size() > 9 || name.compare(0, 4, L"LANG") != 0)
        return 0;
    int32_t lcid = 0;
    for (size_t i = 4; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return 0;
        lcid = lcid * 10 + (name[i] - L'0');
    }
    return lcid;
}

uint32_t certificateSize(const std::string& path) {
    OSHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        throw PackError(packBadInput, path, "cannot open: " + systemMessage(GetLastError()));
    std::vector<unsigned char> headers(4096);
    DWORD read = 0;
    bool ok =
        ReadFile(file.get(), headers.data(), static_cast<DWORD>(headers.size()), &read, nullptr);
    file.close();
    pe::PeLayout layout;
    if (!ok || !pe::readPeLayout(headers.data(), read, layout))
        throw PackError(packBadInput, path, "is not a Windows program (no PE headers)");
    return layout.certificateSize;
}

bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    OSHandle file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        throw PackError(packWriteFailed, path, "cannot create: " + systemMessage(GetLastError()));
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file.get(), bytes.data(),
                                          static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    DWORD error = GetLastError();
    ok = file.close() && ok;
    if (!ok) {
        DeleteFileW(widen(path).c_str());
        throw PackError(packWriteFailed, path, "cannot write: " + systemMessage(error));
    }
}

} // namespace

SetupContents readSetupContents(const std::string& path) {
    SetupContents contents;
    contents.certificateSize = certificateSize(path);
    DataModule module(path);
    if (!module.get())
        throw PackError(packBadInput, path,
                        "is not a Windows program: " + systemMessage(GetLastError()));
    HMODULE setup = module.get();
    contents.packageName = resourceText(setup, L"PACKAGENAME");
    contents.productCode = resourceText(setup, L"PRODUCTCODE");
    contents.productName = resourceText(setup, L"PRODUCTNAME");
    contents.version = resourceText(setup, L"VERSION");
    contents.languages = resourceText(setup, L"LANGUAGES");
    contents.logPath = resourceText(setup, L"LOGPATH");
    contents.package = resourceBytes(setup, L"PACKAGEFILE");
    std::vector<std::wstring> names;
    EnumResourceNamesW(setup, MAKEINTRESOURCEW(10), collectName,
                       reinterpret_cast<LONG_PTR>(&names));
    for (const std::wstring& name : names) {
        int32_t lcid = transformLcid(name);
        std::optional<std::vector<unsigned char>> bytes =
            lcid ? resourceBytes(setup, name.c_str()) : std::nullopt;
        if (bytes)
            contents.transforms.push_back({lcid, std::move(*bytes)});
    }
    std::sort(contents.transforms.begin(), contents.transforms.end(),
              [](const SetupTransform& a, const SetupTransform& b) { return a.lcid < b.lcid; });
    return contents;
}

std::string transformFileName(int32_t lcid) {
    return std::to_string(lcid) + ".MST";
}

std::vector<std::string> extractSetup(const SetupContents& contents, const std::string& setupPath,
                                      const std::string& folder) {
    if (!contents.package)
        throw PackError(packBadInput, setupPath, "carries no package");
    if (!contents.packageName || !plainFileName(*contents.packageName))
        throw PackError(packBadInput, setupPath,
                        "its PACKAGENAME \"" + contents.packageName.value_or("") +
                            "\" is not a plain file name");
    if (!CreateDirectoryW(widen(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw PackError(packWriteFailed, folder,
                        "cannot create the folder: " + systemMessage(GetLastError()));
    std::string prefix = folder;
    if (prefix.back() != '\\' && prefix.back() != '/')
        prefix += '\\';
    std::vector<std::string> written;
    writeFileBytes(prefix + *contents.packageName, *contents.package);
    written.push_back(prefix + *contents.packageName);
    for (const SetupTransform& transform : contents.transforms) {
        writeFileBytes(prefix + transformFileName(transform.lcid), transform.bytes);
        written.push_back(prefix + transformFileName(transform.lcid));
    }
    return written;
}
