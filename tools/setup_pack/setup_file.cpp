#include "setup_pack/setup_file.h"

#include <windows.h>

#include <cstring>

#include "setup_pack/options.h"
#include "setup_pack/system_message.h"
#include "ui/dialog_ids.h"

namespace {

const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// Frees a module loaded as a data file.
class DataModule {
  public:
    explicit DataModule(const std::string& path)
        : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    ~DataModule() {
        if (module_)
            FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

bool manifestNamesSetup(HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!data)
        return false;
    std::string manifest(data, SizeofResource(module, found));
    size_t identity = manifest.find("<assemblyIdentity");
    size_t end = manifest.find('>', identity);
    return identity != std::string::npos && end != std::string::npos &&
           manifest.substr(identity, end - identity).find(" name=\"Setup\"") != std::string::npos;
}

} // namespace

std::vector<unsigned char> wideTextResource(const std::string& text) {
    int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(units > 0 ? static_cast<size_t>(units) : 1, L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), units);
    // wchar_t is a UTF-16LE code unit on Windows, so its bytes are the format.
    std::vector<unsigned char> bytes(wide.size() * 2);
    for (size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<unsigned char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>((wide[i] >> 8) & 0xFF);
    }
    return bytes;
}

std::string defaultStubPath() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length < MAX_PATH ? length : 0);
    size_t slash = self.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + "setup.exe";
}

void checkStub(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        throw PackError(packBadInput, path,
                        "cannot open the stub: " + systemMessage(GetLastError()));
    DataModule stub(path);
    if (!stub.get())
        throw PackError(packBadInput, path,
                        "is not a Windows program: " + systemMessage(GetLastError()));
    bool hasDialog = FindResourceExA(stub.get(), MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_SETUP),
                                     english) != nullptr; // RT_DIALOG
    if (!hasDialog || !manifestNamesSetup(stub.get()))
        throw PackError(packBadInput, path,
                        "is not the setup stub (no language dialog or \"Setup\" manifest)");
    if (FindResourceExA(stub.get(), MAKEINTRESOURCEA(10), "PACKAGEFILE", english)) // RT_RCDATA
        throw PackError(packBadInput, path,
                        "already carries a package; give the empty stub setup.exe");
}

std::string fullPath(const std::string& path) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

bool samePath(const std::string& a, const std::string& b) {
    return lstrcmpiA(fullPath(a).c_str(), fullPath(b).c_str()) == 0;
}

void writeSetup(const std::string& stubPath, const std::string& outPath,
                const std::vector<PackResource>& resources) {
    std::string out = fullPath(outPath);
    size_t slash = out.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string(".") : out.substr(0, slash + 1);
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "spk", 0, temporary))
        throw PackError(packWriteFailed, outPath,
                        "cannot create a file in its folder: " + systemMessage(GetLastError()));

    std::string failure;
    if (!CopyFileA(stubPath.c_str(), temporary, FALSE))
        failure = "cannot copy the stub: " + systemMessage(GetLastError());
    HANDLE update = failure.empty() ? BeginUpdateResourceA(temporary, FALSE) : nullptr;
    if (failure.empty() && !update)
        failure = "cannot open the copy for writing resources: " + systemMessage(GetLastError());
    for (size_t i = 0; failure.empty() && i < resources.size(); ++i) {
        const PackResource& resource = resources[i];
        if (!UpdateResourceA(update, MAKEINTRESOURCEA(10), resource.name.c_str(), english,
                             const_cast<unsigned char*>(resource.data.data()),
                             static_cast<DWORD>(resource.data.size())))
            failure = "cannot add resource " + resource.name + ": " + systemMessage(GetLastError());
    }
    if (update) {
        bool discard = !failure.empty();
        if (!EndUpdateResourceA(update, discard) && !discard)
            failure = "cannot write the resources: " + systemMessage(GetLastError());
    }
    if (failure.empty() && !MoveFileExA(temporary, out.c_str(), MOVEFILE_REPLACE_EXISTING))
        failure = "cannot replace it: " + systemMessage(GetLastError());
    if (!failure.empty()) {
        DeleteFileA(temporary);
        throw PackError(packWriteFailed, outPath, failure);
    }
}
