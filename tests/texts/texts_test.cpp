// A package's texts for translators and back: the sample product with a
// dialog set, exported, and its French build's texts put into the English
// one through the PO entries, cell for cell; then each translation that
// cannot go into the package, refused with its line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "common/utf8.h"
#include "compound_file/compound_file.h"
#include "msi_database/database.h"
#include "msi_texts/texts.h"

namespace {

using namespace msi_database;
namespace fs = std::filesystem;

Database read(const std::string& name) {
    std::ifstream file(fs::path(TEXTS_INPUTS) / name, std::ios::binary);
    common::Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return readDatabase(compound_file::Reader(bytes));
}

const po::Entry* find(const std::vector<po::Entry>& entries, const std::string& context) {
    for (const po::Entry& entry : entries)
        if (entry.context == context)
            return &entry;
    return nullptr;
}

// Every string cell of the database, by table, row and column.
std::map<std::string, std::u16string> stringCells(const Database& database) {
    std::map<std::string, std::u16string> cells;
    for (const Table& table : database.tables)
        for (size_t r = 0; r < table.rows.size(); ++r)
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (table.rows[r][c].kind == Cell::String)
                    cells[common::toUtf8(table.name) + "/" + std::to_string(r) + "/" +
                          std::to_string(c)] = table.rows[r][c].text();
    return cells;
}

TEST(Texts, ExportsWhatAUserReadsAndNothingElse) {
    std::vector<po::Entry> entries = msi_texts::exportTexts(read("ui_1033.msi"));
    ASSERT_TRUE(entries[0].isHeader());
    EXPECT_NE(entries[0].str.find("Project-Id-Version: Sample Product 1.0.0\n"), std::string::npos);

    const po::Entry* title = find(entries, "Control.Text|WelcomeDlg|Title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->id, "{\\DlgTitleFont}Welcome to the [ProductName] Setup Wizard");
    EXPECT_EQ(title->extracted, std::vector<std::string>{"dialog WelcomeDlg, control Title"});
    const po::Entry* licence = find(entries, "Control.Text|LicenseDlg|Text");
    ASSERT_TRUE(licence);
    EXPECT_EQ(licence->id.compare(0, 6, "{\\rtf1"), 0);
    for (const char* context :
         {"Control.Help|WelcomeDlg|Next", "Dialog.Title|WelcomeDlg", "RadioButton.Text|SCOPE|2",
          "UIText.Text|MenuAllLocal", "Error.Message|1301", "ActionText.Template|InstallFiles",
          "Property.Value|ProductName", "Property.Value|SAMPLEGREETING"})
        EXPECT_TRUE(find(entries, context)) << context;
    // A bitmap's key, formatting alone, settings and codes, a font's name.
    for (const char* context : {"Control.Text|WelcomeDlg|Bitmap", "Control.Text|WelcomeDlg|Folder",
                                "Dialog.Title|LicenseDlg", "Error.Message|2",
                                "Property.Value|ProductCode", "Property.Value|ProductVersion",
                                "Property.Value|ALLUSERS", "TextStyle.FaceName|DlgTitleFont"})
        EXPECT_FALSE(find(entries, context)) << context;
    // Tables by name, rows by keys: the same entries in the same order twice.
    std::vector<std::string> contexts;
    for (const po::Entry& entry : entries)
        if (entry.context)
            contexts.push_back(*entry.context);
    EXPECT_LT(std::find(contexts.begin(), contexts.end(), "ActionText.Description|CostFinalize"),
              std::find(contexts.begin(), contexts.end(), "Control.Text|LicenseDlg|Accept"));
    EXPECT_LT(std::find(contexts.begin(), contexts.end(), "Error.Message|1301"),
              std::find(contexts.begin(), contexts.end(), "Error.Message|1302"));
    EXPECT_EQ(po::writePo(entries), po::writePo(msi_texts::exportTexts(read("ui_1033.msi"))));
}

TEST(Texts, FrenchBuildThroughItsPoFileGivesTheFrenchCells) {
    Database english = read("ui_1033.msi"), french = read("ui_1036.msi");
    std::vector<po::Entry> entries = msi_texts::exportTexts(english, &french);
    // Through the file, as a translator's tool would hand it back.
    entries = po::readPo(po::writePo(entries));
    msi_texts::translate(english, entries, 1036);
    std::map<std::string, std::u16string> ours = stringCells(english), theirs = stringCells(french);
    for (const auto& cell : theirs)
        EXPECT_EQ(common::toUtf8(ours[cell.first]), common::toUtf8(cell.second)) << cell.first;
    EXPECT_EQ(ours.size(), theirs.size());
}

TEST(Texts, RefusesWhatCannotGoIntoThePackage) {
    Database english = read("ui_1033.msi");
    const std::vector<po::Entry> template_ = msi_texts::exportTexts(english);
    struct Case {
        const char* context;
        std::string id, str, reason;
    } cases[] = {
        {"Control.Text|WelcomeDlg|Title",
         "{\\DlgTitleFont}Welcome to the [ProductName] Setup Wizard",
         "{\\DlgTitleFont}Bienvenue dans [ProductNom]", "has the placeholders"},
        {"Control.Text|WelcomeDlg|Title",
         "{\\DlgTitleFont}Welcome to the [ProductName] Setup Wizard",
         "Bienvenue dans [ProductName]", "has the placeholders"},
        {"UIText.Text|bytes", "bytes", "Łódź", "\"Ł\", which code page 1252 cannot hold"},
        {"UIText.Text|bytes", "bits", "octets", "is no longer the package's text"},
        {"UIText.Text|kilobytes", "KB", "Ko", "names no text of the package"},
        {"Control.Text|WelcomeDlg|Bitmap", "WixUI_Bmp_Dialog", "x", "names no text"},
        {nullptr, "bytes", "octets", "has no msgctxt"},
    };
    for (const Case& c : cases) {
        std::vector<po::Entry> entries = template_;
        po::Entry entry;
        if (c.context)
            entry.context = c.context;
        entry.id = c.id;
        entry.str = c.str;
        entry.line = 42;
        entries.push_back(entry);
        Database copy = english;
        try {
            msi_texts::translate(copy, entries, 1036);
            ADD_FAILURE() << c.str << " was taken";
        } catch (const msi_texts::TranslationError& error) {
            std::string what = error.what();
            EXPECT_EQ(what.compare(0, 9, "line 42: "), 0) << what;
            EXPECT_NE(what.find(c.reason), std::string::npos) << what;
        }
    }
    // Fuzzy, untranslated and obsolete entries change nothing, stale or not.
    std::vector<po::Entry> entries = template_;
    for (po::Entry& entry : entries)
        if (!entry.isHeader()) {
            entry.str = "x";
            entry.id = "stale";
            entry.flags = {"fuzzy"};
        }
    Database copy = english;
    msi_texts::translate(copy, entries, 1033);
    EXPECT_EQ(stringCells(copy), stringCells(english));
}

} // namespace
