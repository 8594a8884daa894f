#include "setup_pack/setup_file.h"

#include <windows.h>

#include <cstring>

#include "os/handle.h"
#include "setup_pack/data_module.h"
#include "setup_pack/options.h"
#include "pe/pe_image.h"
#include "setup_pack/system_message.h"
#include "setup_pack/utf8.h"
#include "ui/dialog_ids.h"

namespace {

const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

bool manifestNamesSetup(HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
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

// The whole file, or false with the system's error.
bool readWhole(HANDLE file, std::vector<unsigned char>& bytes) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

// Writes the true PE checksum into the filled copy: a changed program whose
// stored checksum no longer matches is what drivers and some scanners refuse.
std::string writeChecksum(const wchar_t* path) {
    OSHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return "cannot open the copy for its checksum: " + systemMessage(GetLastError());
    std::vector<unsigned char> bytes;
    std::string failure;
    pe::PeLayout layout;
    if (!readWhole(file.get(), bytes))
        failure = "cannot read the copy for its checksum: " + systemMessage(GetLastError());
    else if (!pe::readPeLayout(bytes.data(), bytes.size(), layout))
        failure = "the copy is no longer a Windows program";
    if (failure.empty()) {
        uint32_t sum = pe::peChecksum(bytes.data(), bytes.size(), layout.checksumOffset);
        unsigned char field[4] = {
            static_cast<unsigned char>(sum & 0xFF), static_cast<unsigned char>((sum >> 8) & 0xFF),
            static_cast<unsigned char>((sum >> 16) & 0xFF), static_cast<unsigned char>(sum >> 24)};
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(layout.checksumOffset);
        DWORD written = 0;
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !WriteFile(file.get(), field, sizeof field, &written, nullptr) ||
            written != sizeof field)
            failure = "cannot write the checksum: " + systemMessage(GetLastError());
    }
    if (!file.close() && failure.empty())
        failure = "cannot close the copy: " + systemMessage(GetLastError());
    return failure;
}

} // namespace

std::vector<unsigned char> wideTextResource(const std::string& text) {
    std::wstring wide = widen(text);
    wide.push_back(L'\0');
    // wchar_t is a UTF-16LE code unit on Windows, so its bytes are the format.
    std::vector<unsigned char> bytes(wide.size() * 2);
    for (size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<unsigned char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>((wide[i] >> 8) & 0xFF);
    }
    return bytes;
}

std::string defaultStubPath() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    std::string self = narrow(path.substr(0, length < path.size() ? length : 0));
    size_t slash = self.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + "setup.exe";
}

void checkStub(const std::string& path) {
    if (GetFileAttributesW(widen(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        throw PackError(packBadInput, path,
                        "cannot open the stub: " + systemMessage(GetLastError()));
    DataModule stub(path);
    if (!stub.get())
        throw PackError(packBadInput, path,
                        "is not a Windows program: " + systemMessage(GetLastError()));
    bool hasDialog = FindResourceExW(stub.get(), MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_SETUP),
                                     english) != nullptr; // RT_DIALOG
    if (!hasDialog || !manifestNamesSetup(stub.get()))
        throw PackError(packBadInput, path,
                        "is not the setup stub (no language dialog or \"Setup\" manifest)");
    if (FindResourceExW(stub.get(), MAKEINTRESOURCEW(10), L"PACKAGEFILE", english)) // RT_RCDATA
        throw PackError(packBadInput, path,
                        "already carries a package; give the empty stub setup.exe");
    OSHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<unsigned char> bytes;
    bool read = file.isOpen() && readWhole(file.get(), bytes);
    DWORD error = GetLastError();
    file.close();
    if (!read)
        throw PackError(packBadInput, path, "cannot read the stub: " + systemMessage(error));
    pe::PeLayout layout;
    if (!pe::readPeLayout(bytes.data(), bytes.size(), layout))
        throw PackError(packBadInput, path, "is not a Windows program (no PE headers)");
    if (layout.certificateSize != 0)
        throw PackError(packBadInput, path,
                        "is signed; packing would break its signature: give the unsigned stub "
                        "and sign the packed setup");
}

std::string fullPath(const std::string& path) {
    std::wstring wide = widen(path);
    DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring buffer(length, L'\0');
    length = GetFullPathNameW(wide.c_str(), length, &buffer[0], nullptr);
    return length > 0 && length < buffer.size() ? narrow(buffer.substr(0, length)) : path;
}

bool samePath(const std::string& a, const std::string& b) {
    std::wstring first = widen(fullPath(a)), second = widen(fullPath(b));
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

void writeSetup(const std::string& stubPath, const std::string& outPath,
                const std::vector<PackResource>& resources) {
    std::string out = fullPath(outPath);
    size_t slash = out.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string(".") : out.substr(0, slash + 1);
    wchar_t temporary[MAX_PATH];
    if (!GetTempFileNameW(widen(folder).c_str(), L"spk", 0, temporary))
        throw PackError(packWriteFailed, outPath,
                        "cannot create a file in its folder: " + systemMessage(GetLastError()));

    std::string failure;
    if (!CopyFileW(widen(stubPath).c_str(), temporary, FALSE))
        failure = "cannot copy the stub: " + systemMessage(GetLastError());
    // The copy keeps the stub's attributes; a read-only stub (as a checkout
    // or a release folder may hold it) must still give a writable setup.
    if (failure.empty() && !SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL))
        failure = "cannot make the copy writable: " + systemMessage(GetLastError());
    HANDLE update = failure.empty() ? BeginUpdateResourceW(temporary, FALSE) : nullptr;
    if (failure.empty() && !update)
        failure = "cannot open the copy for writing resources: " + systemMessage(GetLastError());
    for (size_t i = 0; failure.empty() && i < resources.size(); ++i) {
        const PackResource& resource = resources[i];
        std::wstring name = widen(resource.name);
        if (!UpdateResourceW(update, MAKEINTRESOURCEW(10), name.c_str(), english,
                             const_cast<unsigned char*>(resource.data.data()),
                             static_cast<DWORD>(resource.data.size())))
            failure = "cannot add resource " + resource.name + ": " + systemMessage(GetLastError());
    }
    if (update) {
        bool discard = !failure.empty();
        if (!EndUpdateResourceW(update, discard) && !discard)
            failure = "cannot write the resources: " + systemMessage(GetLastError());
    }
    if (failure.empty())
        failure = writeChecksum(temporary);
    if (failure.empty() && !MoveFileExW(temporary, widen(out).c_str(), MOVEFILE_REPLACE_EXISTING))
        failure = "cannot replace it: " + systemMessage(GetLastError());
    if (!failure.empty()) {
        DeleteFileW(temporary);
        throw PackError(packWriteFailed, outPath, failure);
    }
}
