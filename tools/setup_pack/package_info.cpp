#include "setup_pack/package_info.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "os/handle.h"
#include "setup_pack/msi_handle.h"
#include "setup_pack/options.h"
#include "setup_pack/system_message.h"
#include "setup_pack/utf8.h"

namespace {

// The property's value, or empty when the table lacks it.
std::string readProperty(MSIHANDLE database, const std::string& path, const char* property) {
    std::wstring query =
        widen(std::string("SELECT `Value` FROM `Property` WHERE `Property`='") + property + "'");
    MsiHandle view;
    UINT result = MsiDatabaseOpenViewW(database, query.c_str(), view.out());
    if (result != ERROR_SUCCESS)
        throw PackError(packBadInput, path, "the package has no Property table");
    result = MsiViewExecute(view.get(), 0);
    if (result != ERROR_SUCCESS)
        throw PackError(packBadInput, path,
                        "cannot read the Property table: " + systemMessage(result));
    MsiHandle record;
    if (MsiViewFetch(view.get(), record.out()) != ERROR_SUCCESS)
        return std::string();
    DWORD length = 0;
    wchar_t empty[1] = L"";
    result = MsiRecordGetStringW(record.get(), 1, empty, &length);
    if (result != ERROR_MORE_DATA && result != ERROR_SUCCESS)
        throw PackError(packBadInput, path,
                        std::string("cannot read ") + property + ": " + systemMessage(result));
    std::wstring value(length + 1, L'\0');
    DWORD size = length + 1;
    result = MsiRecordGetStringW(record.get(), 1, &value[0], &size);
    if (result != ERROR_SUCCESS)
        throw PackError(packBadInput, path,
                        std::string("cannot read ") + property + ": " + systemMessage(result));
    value.resize(size);
    return narrow(value);
}

} // namespace

std::vector<unsigned char> readInputFile(const std::string& path) {
    OSHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        throw PackError(packBadInput, path, "cannot open: " + systemMessage(GetLastError()));
    std::vector<unsigned char> bytes;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file.get(), &size) != 0;
    DWORD error = ok ? 0 : GetLastError();
    if (ok && size.QuadPart > maxInputBytes)
        throw PackError(packBadInput, path,
                        "is larger than 1 GiB, more than a 32-bit setup can map (" +
                            std::to_string(size.QuadPart) + " bytes)");
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &read, nullptr) &&
                               read == bytes.size());
        error = ok ? 0 : GetLastError();
    }
    file.close();
    if (!ok)
        throw PackError(packBadInput, path, "cannot read: " + systemMessage(error));
    return bytes;
}

void checkCompoundFile(const std::vector<unsigned char>& bytes, const std::string& path,
                       const char* kind) {
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    bool matches = bytes.size() >= sizeof signature;
    for (size_t i = 0; matches && i < sizeof signature; ++i)
        matches = bytes[i] == signature[i];
    if (!matches)
        throw PackError(packBadInput, path,
                        std::string("is not ") + kind + " (no compound file signature)");
}

PackageInfo readPackageInfo(const std::string& path) {
    MsiHandle database;
    UINT result = MsiOpenDatabaseW(widen(path).c_str(),
                                   reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), database.out());
    if (result != ERROR_SUCCESS)
        throw PackError(packBadInput, path,
                        "cannot open as an installer database: " + systemMessage(result));
    PackageInfo info;
    struct Wanted {
        const char* property;
        std::string* field;
    } wanted[] = {{"ProductCode", &info.productCode},
                  {"ProductName", &info.productName},
                  {"ProductVersion", &info.productVersion}};
    for (const Wanted& item : wanted) {
        *item.field = readProperty(database.get(), path, item.property);
        if (item.field->empty())
            throw PackError(packBadInput, path,
                            std::string("the package has no ") + item.property + " property");
    }
    return info;
}
