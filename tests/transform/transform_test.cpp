// Transforms generated from wixl-built pairs, applied by the system's own
// Windows Installer (Wine's msi.dll under test): base + transform must
// export every table exactly as the localized package does.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "msi_texts/texts.h"
#include "msi_transform/generate.h"

namespace {

const std::string inputs = std::string(TRANSFORM_INPUT_DIR) + "/";
const std::string work = std::string(TRANSFORM_WORK_DIR) + "/";

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

common::Bytes fileBytes(const std::string& path) {
    std::string text = fileText(path);
    return common::Bytes(text.begin(), text.end());
}

void writeFile(const std::string& path, const common::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Every file of a folder and its subfolders (relative names).
void listFiles(const std::string& folder, const std::string& prefix, std::set<std::string>& out) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "/*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            listFiles(folder + "/" + name, prefix + name + "/", out);
        else
            out.insert(prefix + name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// Exports every table of the database (and its code page) into `folder`.
void exportAll(MSIHANDLE database, const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::wstring> tables{L"_ForceCodepage"};
    MSIHANDLE view = 0, record = 0;
    ASSERT_EQ(MsiDatabaseOpenViewW(database, L"SELECT `Name` FROM `_Tables`", &view), 0u);
    ASSERT_EQ(MsiViewExecute(view, 0), 0u);
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t name[80];
        DWORD size = 80;
        MsiRecordGetStringW(record, 1, name, &size);
        tables.push_back(name);
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    for (const std::wstring& table : tables)
        EXPECT_EQ(MsiDatabaseExportW(database, table.c_str(), wide(folder).c_str(),
                                     (table + L".idt").c_str()),
                  0u);
}

// The bytes of every binary cell of the Binary table, by name.
std::map<std::wstring, std::string> binaryCells(MSIHANDLE database) {
    std::map<std::wstring, std::string> cells;
    MSIHANDLE view = 0, record = 0;
    EXPECT_EQ(MsiDatabaseOpenViewW(database, L"SELECT `Name`, `Data` FROM `Binary`", &view), 0u);
    EXPECT_EQ(MsiViewExecute(view, 0), 0u);
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t name[80];
        DWORD size = 80;
        MsiRecordGetStringW(record, 1, name, &size);
        std::string data;
        char buffer[4096];
        DWORD read = sizeof buffer;
        while (MsiRecordReadStream(record, 2, buffer, &read) == ERROR_SUCCESS && read > 0) {
            data.append(buffer, read);
            read = sizeof buffer;
        }
        cells[name] = data;
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    return cells;
}

void openDatabase(const std::string& path, LPCWSTR mode, MSIHANDLE& database) {
    ASSERT_EQ(MsiOpenDatabaseW(wide(path).c_str(), mode, &database), 0u) << path;
}

class TransformRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(TransformRoundTrip, BasePlusTransformExportsAsTheLocalizedPackage) {
    std::string lang = std::to_string(GetParam());
    std::string localized = inputs + "localized_" + lang + ".msi";
    std::string transform = work + "generated_" + lang + ".mst";
    std::string applied = work + "applied_" + lang + ".msi";
    CreateDirectoryA(work.c_str(), nullptr);
    DeleteFileA(transform.c_str());
    common::Bytes baseBytes = fileBytes(inputs + "base.msi");
    common::Bytes made = msi_transform::makeTransform(baseBytes, fileBytes(localized));
    writeFile(transform, made);

    // The system takes it for a transform.
    CoInitialize(nullptr);
    IStorage* storage = nullptr;
    ASSERT_EQ(StgOpenStorage(wide(transform).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                             nullptr, 0, &storage),
              S_OK);
    STATSTG stat = {};
    storage->Stat(&stat, STATFLAG_NONAME);
    storage->Release();
    EXPECT_EQ(stat.clsid.Data1, 0x000C1082u);
    msi_transform::checkTransform(made, baseBytes);

    // Its summary: both products, the templates, no validation and no
    // suppressed errors.
    MSIHANDLE summary = 0;
    ASSERT_EQ(MsiGetSummaryInformationW(0, wide(transform).c_str(), 0, &summary), 0u);
    auto property = [summary](UINT id, INT& number) {
        UINT type = 0;
        FILETIME time;
        wchar_t text[200] = L"";
        DWORD size = 200;
        number = -1;
        MsiSummaryInfoGetPropertyW(summary, id, &type, &number, &time, text, &size);
        return std::wstring(text);
    };
    INT number = 0;
    EXPECT_EQ(property(9, number), L"{3F1B6C2E-8D4A-4E7B-9C05-1A2B3C4D5E6F}2.1.0;"
                                   L"{3F1B6C2E-8D4A-4E7B-9C05-1A2B3C4D5E6F}2.1.0;"
                                   L"{7A6B5C4D-3E2F-4A1B-8C9D-0E1F2A3B4C5D}");
    EXPECT_EQ(property(7, number), L"Intel;1033");
    property(16, number);
    EXPECT_EQ(number, 0);
    property(19, number);
    EXPECT_EQ(number, 1);
    property(14, number);
    EXPECT_EQ(number, 200);
    MsiCloseHandle(summary);

    ASSERT_TRUE(CopyFileA((inputs + "base.msi").c_str(), applied.c_str(), FALSE));
    MSIHANDLE database = 0, original = 0;
    openDatabase(applied, reinterpret_cast<LPCWSTR>(MSIDBOPEN_TRANSACT), database);
    ASSERT_EQ(MsiDatabaseApplyTransformW(database, wide(transform).c_str(), 0), 0u);
    ASSERT_EQ(MsiDatabaseCommit(database), 0u);
    std::string left = work + "export_applied_" + lang, right = work + "export_localized_" + lang;
    exportAll(database, left);
    // The export names binary cells but leaves out their bytes.
    std::map<std::wstring, std::string> appliedCells = binaryCells(database);
    MsiCloseHandle(database);
    openDatabase(localized, reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), original);
    exportAll(original, right);
    std::map<std::wstring, std::string> localizedCells = binaryCells(original);
    MsiCloseHandle(original);
    EXPECT_EQ(appliedCells, localizedCells);
    EXPECT_EQ(localizedCells[L"Logo"], "logo " + lang + ", a little longer");

    std::set<std::string> leftFiles, rightFiles;
    listFiles(left, "", leftFiles);
    listFiles(right, "", rightFiles);
    EXPECT_EQ(leftFiles, rightFiles);
    EXPECT_TRUE(rightFiles.count("LocalNotes.idt"));
    for (const std::string& name : rightFiles)
        EXPECT_EQ(fileText(left + "/" + name), fileText(right + "/" + name)) << name;
    // The base differs where the transform must have acted.
    EXPECT_NE(fileText(left + "/Settings.idt"), "");
    MSIHANDLE base = 0;
    openDatabase(inputs + "base.msi", reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), base);
    std::string baseExport = work + "export_base_" + lang;
    exportAll(base, baseExport);
    MsiCloseHandle(base);
    for (const char* table : {"Property.idt", "Settings.idt", "Registry.idt"})
        EXPECT_NE(fileText(baseExport + "/" + table), fileText(right + "/" + table)) << table;
}

INSTANTIATE_TEST_SUITE_P(Languages, TransformRoundTrip, ::testing::Values(1036, 1031));

// Each refusal of a file names the input at fault.
TEST(TransformRefusal, NamesTheInput) {
    using Input = msi_transform::TransformError::Input;
    struct Case {
        std::string base, localized;
        Input input;
        std::string reason;
    } cases[] = {
        {"base.msi", "other_code.msi", Input::Localized, "another ProductCode"},
        {"base.msi", "other_version.msi", Input::Localized, "another ProductVersion"},
        {"base.msi", "dropped_table.msi", Input::Localized, "drops table `Settings`"},
        {"base.msi", "cabinet.msi", Input::Localized, "`_Streams`"},
        {"base.msi", "polish_ae.msi", Input::Localized, "cannot hold"},
        {"base.msi", "not_database.msi", Input::Localized, "is no installer database"},
        {"not_database.msi", "localized_1036.msi", Input::Base, "is no installer database"},
    };
    for (const Case& c : cases) {
        std::string message = "no refusal";
        Input input = Input::Transform;
        try {
            msi_transform::makeTransform(fileBytes(inputs + c.base),
                                         fileBytes(inputs + c.localized));
        } catch (const msi_transform::TransformError& error) {
            message = error.what();
            input = error.input();
        }
        EXPECT_NE(message.find(c.reason), std::string::npos) << c.localized << ": " << message;
        EXPECT_EQ(input, c.input) << c.localized;
    }
}

// A compound file with the given root class id and nothing else.
void writeStorageOfClass(const std::string& path, unsigned long classId) {
    CoInitialize(nullptr);
    IStorage* storage = nullptr;
    ASSERT_EQ(StgCreateDocfile(wide(path).c_str(),
                               STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, 0,
                               &storage),
              S_OK);
    CLSID clsid = {classId, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    storage->SetClass(clsid);
    storage->Release();
}

TEST(TransformRefusal, OnlyATransformPassesTheCheckByItsClass) {
    CreateDirectoryA(work.c_str(), nullptr);
    std::string patch = work + "class_patch.msp", other = work + "class_other.bin",
                empty = work + "class_empty.mst";
    writeStorageOfClass(patch, 0x000C1086);
    writeStorageOfClass(empty, 0x000C1082); // a transform's class, but no string pool
    writeStorageOfClass(other, 0x000C1083);
    struct Case {
        std::string path, message;
    } cases[] = {
        {inputs + "localized_1036.msi", "is an installer database, not a transform"},
        {patch, "is a patch, not a transform"},
        {other, "is not an installer transform (wrong class id)"},
        {inputs + "not_database.msi", "is not an installer transform (no compound file)"},
        {empty, "does not apply to the package: the transform has no string pool"},
    };
    for (const Case& c : cases) {
        std::string message;
        try {
            msi_transform::checkTransform(fileBytes(c.path), fileBytes(inputs + "base.msi"));
        } catch (const msi_transform::TransformError& error) {
            message = error.what();
            EXPECT_EQ(error.input(), msi_transform::TransformError::Input::Transform);
        }
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.path;
    }
}

// A translator's PO file instead of a localized build: the French build's
// texts exported with their translations, read back, and made into a
// transform from that file alone. Applied by the system, it gives every
// table the French build's transform gives.
TEST(TranslationRoundTrip, PoFileGivesWhatTheLocalizedBuildGives) {
    CreateDirectoryA(work.c_str(), nullptr);
    for (const std::string product : {"sample", "ui"}) {
        const std::string texts = std::string(TEXTS_INPUT_DIR) + "/" + product + "_";
        common::Bytes base = fileBytes(texts + "1033.msi"), french = fileBytes(texts + "1036.msi");
        using Input = msi_transform::TransformError::Input;
        msi_database::Database baseTables = msi_transform::readPackageDatabase(base, Input::Base);
        msi_database::Database frenchTables =
            msi_transform::readPackageDatabase(french, Input::Localized);
        std::vector<po::Entry> entries =
            po::readPo(po::writePo(msi_texts::exportTexts(baseTables, &frenchTables)));
        std::map<std::string, common::Bytes> transforms = {
            {"language", msi_transform::makeTransform(base, french)},
            {"translation", msi_transform::makeTransform(base, [&](msi_database::Database& tables) {
                 msi_texts::translate(tables, entries, 1036);
             })}};
        std::map<std::string, std::set<std::string>> files;
        for (const auto& transform : transforms) {
            std::string name = work + product + "_" + transform.first;
            writeFile(name + ".mst", transform.second);
            ASSERT_TRUE(CopyFileA((texts + "1033.msi").c_str(), (name + ".msi").c_str(), FALSE));
            MSIHANDLE database = 0;
            openDatabase(name + ".msi", reinterpret_cast<LPCWSTR>(MSIDBOPEN_TRANSACT), database);
            ASSERT_EQ(MsiDatabaseApplyTransformW(database, wide(name + ".mst").c_str(), 0), 0u);
            ASSERT_EQ(MsiDatabaseCommit(database), 0u);
            exportAll(database, name);
            MsiCloseHandle(database);
            listFiles(name, "", files[transform.first]);
        }
        EXPECT_EQ(files["language"], files["translation"]) << product;
        const std::string language = work + product + "_language/",
                          translation = work + product + "_translation/";
        for (const std::string& table : files["language"])
            EXPECT_EQ(fileText(language + table), fileText(translation + table))
                << product << ": " << table;
        // The French texts are there: the transforms did act.
        EXPECT_NE(fileText(translation + "Property.idt").find("Produit exemple"),
                  std::string::npos);
        if (product == "ui") {
            EXPECT_NE(fileText(translation + "Control.idt").find("Annuler"), std::string::npos);
        }
    }
}

} // namespace
