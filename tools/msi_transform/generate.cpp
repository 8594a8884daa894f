#include "msi_transform/generate.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>

#include "msi_database/database.h"
#include "msi_transform/diff.h"
#include "setup_pack/msi_handle.h"
#include "setup_pack/utf8.h"

namespace msi_transform {

using msi_database::property;

namespace {

std::u16string toU16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}
std::wstring toWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : narrow(text);
}

// The class id of the file's root storage; false when it is no compound file.
bool rootClass(const std::wstring& path, CLSID& clsid) {
    IStorage* storage = nullptr;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                              &storage)))
        return false;
    STATSTG stat = {};
    HRESULT result = storage->Stat(&stat, STATFLAG_NONAME);
    storage->Release();
    clsid = stat.clsid;
    return SUCCEEDED(result);
}

// {000C10xx-0000-0000-C000-000000000046}: 82 transform, 84 package, 86 patch.
int installerClass(const CLSID& clsid) {
    static const unsigned char tail[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    if ((clsid.Data1 & 0xFFFFFF00u) != 0x000C1000u || clsid.Data2 || clsid.Data3 ||
        memcmp(clsid.Data4, tail, 8) != 0)
        return 0;
    return static_cast<int>(clsid.Data1 & 0xFF);
}

class Reader {
  public:
    explicit Reader(const std::string& path) : path_(path) {}

    void open() {
        CLSID clsid;
        if (!rootClass(widen(path_), clsid) || installerClass(clsid) != 0x84)
            throw TransformError(path_, "is no installer database");
        UINT result = MsiOpenDatabaseW(
            widen(path_).c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), database_.out());
        if (result != ERROR_SUCCESS)
            throw TransformError(path_, "is no installer database: " + errorText(result));
    }
    MSIHANDLE handle() const { return database_.get(); }

    // Every row of the query, as cells of the given column types.
    std::vector<std::vector<Cell>> rows(const std::wstring& query, const std::vector<int>& types,
                                        bool optional = false) {
        std::vector<std::vector<Cell>> out;
        MsiHandle view;
        UINT result = MsiDatabaseOpenViewW(database_.get(), query.c_str(), view.out());
        if (result == ERROR_SUCCESS)
            result = MsiViewExecute(view.get(), 0);
        if (result != ERROR_SUCCESS) {
            if (optional)
                return out;
            throw TransformError(path_, "cannot read " + narrow(query) + ": " + errorText(result));
        }
        for (;;) {
            MsiHandle record;
            result = MsiViewFetch(view.get(), record.out());
            if (result == ERROR_NO_MORE_ITEMS)
                break;
            if (result != ERROR_SUCCESS)
                throw TransformError(path_,
                                     "cannot read " + narrow(query) + ": " + errorText(result));
            std::vector<Cell> row(types.size());
            for (size_t i = 0; i < types.size(); ++i)
                row[i] = cell(record.get(), static_cast<UINT>(i + 1), types[i]);
            out.push_back(std::move(row));
        }
        return out;
    }

  private:
    Cell cell(MSIHANDLE record, UINT field, int type) {
        Cell out;
        if (MsiRecordIsNull(record, field))
            return out;
        if (isBinaryType(type)) {
            out.kind = Cell::Binary;
            char buffer[65536];
            for (;;) {
                DWORD size = sizeof buffer;
                UINT result = MsiRecordReadStream(record, field, buffer, &size);
                if (result != ERROR_SUCCESS)
                    throw TransformError(path_, "cannot read a binary cell: " + errorText(result));
                if (size == 0)
                    break;
                out.data.insert(out.data.end(), buffer, buffer + size);
            }
        } else if (type & typeString) {
            DWORD length = 0;
            wchar_t empty[1] = L"";
            UINT result = MsiRecordGetStringW(record, field, empty, &length);
            std::wstring text(length + 1, L'\0');
            DWORD size = length + 1;
            if (result == ERROR_MORE_DATA || result == ERROR_SUCCESS)
                result = MsiRecordGetStringW(record, field, &text[0], &size);
            if (result != ERROR_SUCCESS)
                throw TransformError(path_, "cannot read a string: " + errorText(result));
            text.resize(size);
            if (!text.empty()) {
                out.kind = Cell::String;
                out.text = toU16(text);
            }
        } else {
            int value = MsiRecordGetInteger(record, field);
            if (value != static_cast<int>(MSI_NULL_INTEGER)) {
                out.kind = Cell::Integer;
                out.number = value;
            }
        }
        return out;
    }

    std::string path_;
    MsiHandle database_;
};

// Summary property ids.
enum : UINT {
    pidCodePage = 1,
    pidTitle = 2,
    pidSubject = 3,
    pidAuthor = 4,
    pidKeywords = 5,
    pidComments = 6,
    pidTemplate = 7,
    pidLastSavedBy = 8,
    pidRevision = 9,
    pidCreated = 12,
    pidPageCount = 14,
    pidCharCount = 16,
    pidAppName = 18,
    pidSecurity = 19,
};

const int text = typeString | typeValid | 0x0400;
const int number = typeValid | 0x0400 | 2;

Database readDatabase(Reader& reader) {
    Database database;
    for (const auto& row : reader.rows(L"SELECT `Name` FROM `_Tables`", {text}))
        database.tables.push_back({row[0].text, {}, {}});
    std::map<std::u16string, std::map<int, Column>> columns;
    for (const auto& row : reader.rows(L"SELECT `Table`, `Number`, `Name`, `Type` FROM `_Columns`",
                                       {text, number, text, number}))
        columns[row[0].text][row[1].number] = {row[2].text, row[3].number & 0x7FFF};
    std::map<std::u16string, bool> binaryPrefixes;
    for (Table& table : database.tables) {
        std::vector<int> types;
        std::wstring names;
        for (const auto& column : columns[table.name]) {
            table.columns.push_back(column.second);
            types.push_back(column.second.type);
            if (!names.empty())
                names += L", ";
            names += L"`" + toWide(column.second.name) + L"`";
            if (isBinaryType(column.second.type))
                binaryPrefixes[table.name + u"."] = true;
        }
        table.rows =
            reader.rows(L"SELECT " + names + L" FROM `" + toWide(table.name) + L"`", types);
    }
    // Binary cells are streams too; they are compared as cells.
    for (auto& row : reader.rows(L"SELECT `Name`, `Data` FROM `_Streams`",
                                 {text, typeString | typeValid}, true)) {
        const std::u16string& name = row[0].text;
        bool cell = name.empty() || name[0] < 0x20;
        for (const auto& prefix : binaryPrefixes)
            cell = cell || name.compare(0, prefix.first.size(), prefix.first) == 0;
        if (!cell)
            database.streams.emplace_back(name, std::move(row[1].data));
    }
    for (const auto& row : reader.rows(L"SELECT `Name` FROM `_Storages`", {text}, true))
        database.storages.push_back(row[0].text);
    // The storage lists them in an order of its own.
    std::sort(database.streams.begin(), database.streams.end());
    std::sort(database.storages.begin(), database.storages.end());
    return database;
}

// The database's code page, as its `_ForceCodepage` export gives it.
uint32_t databaseCodePage(MSIHANDLE database) {
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (!length || length > MAX_PATH)
        return 0;
    std::wstring name = L"cp" + std::to_wstring(GetCurrentProcessId()) + L".idt";
    if (MsiDatabaseExportW(database, L"_ForceCodepage", folder, name.c_str()) != ERROR_SUCCESS)
        return 0;
    std::wstring path = std::wstring(folder) + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes;
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[256];
        DWORD read = 0;
        if (ReadFile(file, buffer, sizeof buffer, &read, nullptr))
            bytes.assign(buffer, read);
        CloseHandle(file);
    }
    DeleteFileW(path.c_str());
    // Two empty lines, then "CODEPAGE\t_ForceCodepage".
    size_t tab = bytes.find("\t_ForceCodepage");
    if (tab == std::string::npos)
        return 0;
    size_t start = bytes.find_last_of("\r\n", tab);
    start = start == std::string::npos ? 0 : start + 1;
    return static_cast<uint32_t>(strtoul(bytes.substr(start, tab - start).c_str(), nullptr, 10));
}

bool encodeIn(uint32_t codePage, const std::u16string& text, std::string& bytes) {
    bytes.clear();
    if (text.empty())
        return true;
    std::wstring wide = toWide(text);
    if (codePage == 0) {
        for (wchar_t c : wide) {
            if (c >= 0x80)
                return false;
            bytes += static_cast<char>(c);
        }
        return true;
    }
    BOOL usedDefault = FALSE;
    bool utf = codePage == CP_UTF8;
    int size = WideCharToMultiByte(codePage, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                   utf ? nullptr : &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<size_t>(size));
    WideCharToMultiByte(codePage, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(),
                        static_cast<int>(wide.size()), &bytes[0], size, nullptr,
                        utf ? nullptr : &usedDefault);
    // The way back must give the same text (no best-fit replacement).
    int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring back(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), size, &back[0], units);
    return !usedDefault && back == wide;
}

// The ANSI code page of a language, 0 when the system knows none.
uint32_t ansiCodePage(const std::u16string& language) {
    std::string digits = narrow(toWide(language));
    LCID lcid = static_cast<LCID>(strtoul(digits.c_str(), nullptr, 10));
    wchar_t buffer[8] = L"";
    if (!lcid || !GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE, buffer, 8))
        return 0;
    return static_cast<uint32_t>(wcstoul(buffer, nullptr, 10));
}

// The summary of the transform, from both packages' summaries.
// A neutral summary that needs a code page gets `fallbackCodePage`.
Bytes transformSummary(const std::string& basePath, MSIHANDLE base, const std::string& locPath,
                       MSIHANDLE localized, const Database& baseData, const Database& locData,
                       uint32_t fallbackCodePage) {
    MsiHandle baseInfo, locInfo;
    UINT result = MsiGetSummaryInformationW(base, nullptr, 0, baseInfo.out());
    if (result != ERROR_SUCCESS)
        throw TransformError(basePath, "cannot read the summary: " + errorText(result));
    result = MsiGetSummaryInformationW(localized, nullptr, 0, locInfo.out());
    if (result != ERROR_SUCCESS)
        throw TransformError(locPath, "cannot read the summary: " + errorText(result));

    struct Value {
        bool present = false;
        UINT type = 0;
        INT number = 0;
        FILETIME time = {};
        std::wstring text;
    };
    auto get = [](MSIHANDLE info, UINT pid) {
        Value value;
        DWORD length = 0;
        wchar_t empty[1] = L"";
        UINT result = MsiSummaryInfoGetPropertyW(info, pid, &value.type, &value.number, &value.time,
                                                 empty, &length);
        if (result == ERROR_MORE_DATA) {
            value.text.assign(length + 1, L'\0');
            DWORD size = length + 1;
            result = MsiSummaryInfoGetPropertyW(info, pid, &value.type, &value.number, &value.time,
                                                &value.text[0], &size);
            value.text.resize(size);
        }
        value.present = result == ERROR_SUCCESS && value.type != VT_EMPTY;
        return value;
    };

    Value codePage = get(locInfo.get(), pidCodePage);
    uint32_t summaryCodePage = codePage.present ? static_cast<uint32_t>(codePage.number) : 0;
    std::map<uint32_t, SummaryProperty> properties;
    if (summaryCodePage == 0 && fallbackCodePage != 0) {
        static const UINT texts[] = {pidTitle,    pidSubject,  pidAuthor,      pidKeywords,
                                     pidComments, pidTemplate, pidLastSavedBy, pidAppName};
        for (UINT pid : texts)
            for (MSIHANDLE info : {baseInfo.get(), locInfo.get()})
                for (wchar_t c : get(info, pid).text)
                    if (c >= 0x80) {
                        summaryCodePage = fallbackCodePage;
                        codePage.present = true;
                        codePage.number = static_cast<INT>(fallbackCodePage);
                    }
    }
    auto putText = [&](uint32_t pid, const std::wstring& text, const std::string& input) {
        SummaryProperty property;
        property.kind = SummaryProperty::String;
        if (!encodeIn(summaryCodePage, toU16(text), property.text))
            throw TransformError(input,
                                 "the summary's code page cannot hold \"" + narrow(text) + "\"");
        properties[pid] = property;
    };
    if (codePage.present) {
        SummaryProperty property;
        property.kind = SummaryProperty::I2;
        property.number = codePage.number;
        properties[pidCodePage] = property;
    }
    static const UINT copied[] = {pidTitle,    pidSubject,  pidAuthor,
                                  pidKeywords, pidComments, pidAppName};
    for (UINT pid : copied) {
        Value value = get(locInfo.get(), pid);
        if (value.present && value.type == VT_LPSTR)
            putText(pid, value.text, locPath);
    }
    Value baseTemplate = get(baseInfo.get(), pidTemplate);
    putText(pidTemplate, baseTemplate.text, basePath);
    Value locTemplate = get(locInfo.get(), pidTemplate);
    putText(pidLastSavedBy, locTemplate.text, locPath);
    std::u16string revision =
        property(baseData, u"ProductCode") + property(baseData, u"ProductVersion") + u";" +
        property(locData, u"ProductCode") + property(locData, u"ProductVersion") + u";" +
        property(locData, u"UpgradeCode");
    putText(pidRevision, toWide(revision), locPath);
    Value created = get(locInfo.get(), pidCreated);
    if (created.present && created.type == VT_FILETIME) {
        SummaryProperty property;
        property.kind = SummaryProperty::FileTime;
        property.fileTime =
            (static_cast<uint64_t>(created.time.dwHighDateTime) << 32) | created.time.dwLowDateTime;
        properties[pidCreated] = property;
    }
    Value schema = get(locInfo.get(), pidPageCount);
    SummaryProperty pages;
    pages.number = schema.present ? schema.number : 200;
    properties[pidPageCount] = pages;
    SummaryProperty flags; // validation 0, error conditions 0
    properties[pidCharCount] = flags;
    SummaryProperty security;
    security.number = 1;
    properties[pidSecurity] = security;
    return summaryStream(properties);
}

void writeStorage(const std::string& outPath, const std::vector<Stream>& streams,
                  const Bytes& summary) {
    std::wstring out = widen(outPath);
    std::wstring temporary = out + L".tmp" + std::to_wstring(GetCurrentProcessId());
    static const CLSID transformClass = {0x000C1082, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    IStorage* storage = nullptr;
    HRESULT result = StgCreateDocfile(
        temporary.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, 0,
        &storage);
    if (FAILED(result))
        throw TransformError(outPath, "cannot create: " + errorText(static_cast<DWORD>(result)));
    std::string failure;
    if (FAILED(result = storage->SetClass(transformClass)))
        failure = "cannot set its class";
    auto write = [&](const std::wstring& name, const Bytes& bytes) {
        IStream* stream = nullptr;
        if (!failure.empty())
            return;
        result = storage->CreateStream(
            name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
        if (FAILED(result)) {
            failure = "cannot create a stream";
            return;
        }
        ULONG written = 0;
        if (!bytes.empty())
            result = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        if (FAILED(result) || written != bytes.size())
            failure = "cannot write a stream";
        stream->Release();
    };
    write(L"\005SummaryInformation", summary);
    for (const Stream& stream : streams)
        write(toWide(stream.name), stream.bytes);
    if (failure.empty() && FAILED(result = storage->Commit(STGC_DEFAULT)))
        failure = "cannot commit";
    storage->Release();
    if (failure.empty() &&
        !MoveFileExW(temporary.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        result = HRESULT_FROM_WIN32(GetLastError());
        failure = "cannot rename the temporary file";
    }
    if (!failure.empty()) {
        DeleteFileW(temporary.c_str());
        throw TransformError(outPath, failure + ": " + errorText(static_cast<DWORD>(result)));
    }
}

struct ComScope {
    bool ok;
    ComScope() : ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok)
            CoUninitialize();
    }
};

} // namespace

void makeTransform(const std::string& basePath, const std::string& localizedPath,
                   const std::string& outPath) {
    ComScope com;
    Reader base(basePath), localized(localizedPath);
    base.open();
    localized.open();
    Database baseData = readDatabase(base);
    Database locData = readDatabase(localized);
    std::vector<TableChange> changes;
    try {
        changes = diffDatabases(baseData, locData);
    } catch (const Refusal& refusal) {
        throw TransformError(localizedPath, refusal.what());
    }
    uint32_t codePage = databaseCodePage(localized.handle());
    if (codePage == 0 && needsCodePage(changes))
        codePage = ansiCodePage(property(locData, u"ProductLanguage"));
    std::vector<Stream> streams;
    try {
        streams = transformStreams(changes, codePage,
                                   [codePage](const std::u16string& text, std::string& bytes) {
                                       return encodeIn(codePage, text, bytes);
                                   });
    } catch (const Refusal& refusal) {
        throw TransformError(localizedPath, refusal.what());
    }
    Bytes summary =
        transformSummary(basePath, base.handle(), localizedPath, localized.handle(), baseData,
                         locData, ansiCodePage(property(locData, u"ProductLanguage")));
    writeStorage(outPath, streams, summary);
}

void checkTransform(const std::string& transformPath, const std::string& basePath) {
    ComScope com;
    CLSID clsid;
    std::wstring path = widen(transformPath);
    if (!rootClass(path, clsid))
        throw TransformError(transformPath, "is not an installer transform (no compound file)");
    switch (installerClass(clsid)) {
    case 0x82:
        break;
    case 0x84:
        throw TransformError(transformPath, "is an installer database, not a transform");
    case 0x86:
        throw TransformError(transformPath, "is a patch, not a transform");
    default:
        throw TransformError(transformPath, "is not an installer transform (wrong class id)");
    }
    wchar_t folder[MAX_PATH + 1], copy[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (!length || length > MAX_PATH || !GetTempFileNameW(folder, L"mst", 0, copy))
        throw TransformError(transformPath, "cannot make a temporary copy of the package: " +
                                                errorText(GetLastError()));
    if (!CopyFileW(widen(basePath).c_str(), copy, FALSE)) {
        DWORD error = GetLastError();
        DeleteFileW(copy);
        throw TransformError(basePath, "cannot copy: " + errorText(error));
    }
    UINT result;
    {
        MsiHandle database;
        result =
            MsiOpenDatabaseW(copy, reinterpret_cast<LPCWSTR>(MSIDBOPEN_TRANSACT), database.out());
        if (result == ERROR_SUCCESS)
            result = MsiDatabaseApplyTransformW(database.get(), path.c_str(), 0);
    }
    DeleteFileW(copy);
    if (result != ERROR_SUCCESS)
        throw TransformError(transformPath,
                             "does not apply to " + basePath + ": " + errorText(result));
}

} // namespace msi_transform
