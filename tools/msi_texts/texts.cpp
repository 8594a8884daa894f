#include "msi_texts/texts.h"

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <tuple>
#include <unordered_map>

#include "common/utf8.h"
#include "msi_database/code_page.h"

namespace msi_texts {

namespace {

using common::toUtf8;
using msi_database::Cell;
using msi_database::Column;
using msi_database::Database;
using msi_database::Table;

// The standard tables' columns that hold what a user reads, whether or not
// a package marks them localizable.
const std::set<std::pair<std::u16string, std::u16string>>& standardTexts() {
    static const std::set<std::pair<std::u16string, std::u16string>> columns = {
        {u"ActionText", u"Description"},
        {u"ActionText", u"Template"},
        {u"BBControl", u"Text"},
        {u"Class", u"Description"},
        {u"ComboBox", u"Text"},
        {u"Control", u"Help"},
        {u"Control", u"Text"},
        {u"Dialog", u"Title"},
        {u"Error", u"Message"},
        {u"Feature", u"Description"},
        {u"Feature", u"Title"},
        {u"LaunchCondition", u"Description"},
        {u"ListBox", u"Text"},
        {u"ListView", u"Text"},
        {u"ProgId", u"Description"},
        {u"RadioButton", u"Help"},
        {u"RadioButton", u"Text"},
        {u"ServiceInstall", u"Description"},
        {u"ServiceInstall", u"DisplayName"},
        {u"Shortcut", u"Description"},
        {u"Shortcut", u"Name"},
        {u"UIText", u"Text"},
        {u"Verb", u"Command"}};
    return columns;
}

// Localizable in the standard schema, but file names, fonts or the
// Property table's values, which are chosen one by one below.
bool neverExported(const std::u16string& table, const std::u16string& column) {
    static const std::set<std::pair<std::u16string, std::u16string>> columns = {
        {u"Directory", u"DefaultDir"},   {u"File", u"FileName"},       {u"RemoveFile", u"FileName"},
        {u"IniFile", u"FileName"},       {u"MoveFile", u"SourceName"}, {u"MoveFile", u"DestName"},
        {u"DuplicateFile", u"DestName"}, {u"Font", u"FontTitle"},      {u"TextStyle", u"FaceName"},
        {u"Property", u"Value"},
    };
    return columns.count({table, column}) != 0;
}

// Standard properties whose values are settings, codes or addresses, not
// texts a user reads.
bool isSettingProperty(const std::u16string& name) {
    // Each name between two blanks, which no identifier holds.
    static const std::u16string names =
        u" ProductCode UpgradeCode ProductVersion ProductLanguage Manufacturer ALLUSERS"
        u" MSIINSTALLPERUSER ARPNOMODIFY ARPNOREPAIR ARPNOREMOVE ARPSYSTEMCOMPONENT"
        u" ARPPRODUCTICON ARPHELPLINK ARPURLINFOABOUT ARPURLUPDATEINFO ARPHELPTELEPHONE"
        u" ARPINSTALLLOCATION ARPREADME ARPSIZE DefaultUIFont ErrorDialog"
        u" SecureCustomProperties INSTALLLEVEL REINSTALLMODE MSIFASTINSTALL LIMITUI TARGETDIR"
        u" INSTALLDIR ROOTDRIVE PIDTemplate PIDKEY USERNAME COMPANYNAME DISABLEADVTSHORTCUTS"
        u" MsiLogging REBOOT REBOOTPROMPT MSIRESTARTMANAGERCONTROL SOURCEDIR Installed ";
    bool listed = name.find(u' ') == std::u16string::npos &&
                  names.find(u" " + name + u" ") != std::u16string::npos;
    return listed || name.compare(0, 3, u"Wix") == 0 || name.compare(0, 3, u"WIX") == 0 ||
           name.compare(0, 1, u"_") == 0;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Nothing but `[...]` references, `{...}` styles and blanks. An RTF text (a
// licence) is one group, and a text.
bool onlyFormatting(const std::u16string& text) {
    if (text.compare(0, 5, u"{\\rtf") == 0)
        return false;
    int depth = 0;
    for (char16_t c : text) {
        if (c == u'[' || c == u'{')
            ++depth;
        else if ((c == u']' || c == u'}') && depth > 0)
            --depth;
        else if (depth == 0 && !isBlank(c))
            return false;
    }
    return true;
}

// A Property value that is a code, a number, a path, an address or an
// identifier rather than words.
bool looksLikeSetting(const std::u16string& value) {
    bool blank = false, lower = false, digitsAndDots = true, joined = false;
    for (char16_t c : value) {
        blank = blank || isBlank(c);
        lower = lower || (c >= u'a' && c <= u'z') || c >= 0x80;
        digitsAndDots = digitsAndDots && ((c >= u'0' && c <= u'9') || c == u'.');
        joined = joined || c == u'_' || c == u'/' || c == u'.';
    }
    if (digitsAndDots || value.front() == u'{' || value.find(u'\\') != std::u16string::npos ||
        value.find(u"://") != std::u16string::npos)
        return true;
    return !blank && (joined || !lower);
}

std::string keyText(const Cell& cell) {
    std::string text = cell.kind == Cell::Integer  ? std::to_string(cell.number)
                       : cell.kind == Cell::String ? toUtf8(cell.text())
                                                   : std::string();
    std::string escaped;
    for (char c : text) {
        if (c == '|' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Rows ordered by their keys, integers by value.
bool keysBefore(const Table& table, const std::vector<Cell>& a, const std::vector<Cell>& b) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (!(table.columns[i].type & msi_database::typeKey))
            continue;
        const auto x = std::tie(a[i].kind, a[i].number, a[i].text());
        const auto y = std::tie(b[i].kind, b[i].number, b[i].text());
        if (x != y)
            return x < y;
    }
    return false;
}

std::u16string cellAt(const Table& table, const std::vector<Cell>& row, const char16_t* name) {
    auto found = std::find_if(table.columns.begin(), table.columns.end(),
                              [name](const Column& column) { return column.name == name; });
    if (found == table.columns.end())
        return std::u16string();
    const Cell& cell = row[static_cast<size_t>(found - table.columns.begin())];
    return cell.kind == Cell::String ? cell.text() : std::u16string();
}

// Where a text stands on the screen, for the translator.
std::string placeOf(const Table& table, const std::vector<Cell>& row) {
    if (table.name == u"Control")
        return "dialog " + toUtf8(cellAt(table, row, u"Dialog_")) + ", control " +
               toUtf8(cellAt(table, row, u"Control"));
    if (table.name == u"BBControl")
        return "billboard " + toUtf8(cellAt(table, row, u"Billboard_")) + ", control " +
               toUtf8(cellAt(table, row, u"BBControl"));
    if (table.name == u"Dialog")
        return "dialog " + toUtf8(cellAt(table, row, u"Dialog"));
    return std::string();
}

// The context's part after the column: "|key1|key2...".
std::string keysOf(const Table& table, const std::vector<Cell>& row) {
    std::string keys;
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].type & msi_database::typeKey)
            keys += "|" + keyText(row[c]);
    return keys;
}

// One cell a user reads.
struct TextCell {
    std::string context;
    const Table* table;
    size_t row, column;
};

bool exported(const Table& table, const std::vector<Cell>& row, size_t column) {
    const Cell& cell = row[column];
    if (cell.kind != Cell::String || onlyFormatting(cell.text()))
        return false;
    if (table.name == u"Property")
        return column == 1 && row[0].kind == Cell::String &&
               (row[0].text() == u"ProductName" ||
                (!isSettingProperty(row[0].text()) && !looksLikeSetting(cell.text())));
    const Column& schema = table.columns[column];
    if (neverExported(table.name, schema.name) || !msi_database::isStringType(schema.type))
        return false;
    if (!(schema.type & msi_database::typeLocalizable) &&
        !standardTexts().count({table.name, schema.name}))
        return false;
    // A bitmap's or an icon's text is the key of its picture.
    if ((table.name == u"Control" || table.name == u"BBControl") && schema.name == u"Text") {
        std::u16string type = cellAt(table, row, u"Type");
        return type != u"Bitmap" && type != u"Icon";
    }
    return true;
}

std::vector<TextCell> textCells(const Database& database) {
    std::vector<const Table*> tables;
    for (const Table& table : database.tables)
        tables.push_back(&table);
    std::sort(tables.begin(), tables.end(),
              [](const Table* a, const Table* b) { return a->name < b->name; });
    std::vector<TextCell> cells;
    for (const Table* table : tables) {
        std::vector<size_t> rows(table->rows.size());
        std::iota(rows.begin(), rows.end(), size_t(0));
        std::stable_sort(rows.begin(), rows.end(), [table](size_t a, size_t b) {
            return keysBefore(*table, table->rows[a], table->rows[b]);
        });
        for (size_t r : rows) {
            const std::vector<Cell>& row = table->rows[r];
            std::string keys = keysOf(*table, row);
            for (size_t c = 0; c < table->columns.size(); ++c)
                if (exported(*table, row, c))
                    cells.push_back(
                        {toUtf8(table->name) + "." + toUtf8(table->columns[c].name) + keys, table,
                         r, c});
        }
    }
    return cells;
}

// The cells of another build of the package, by context.
class OtherBuild {
  public:
    explicit OtherBuild(const Database& database) {
        for (const Table& table : database.tables)
            for (const auto& row : table.rows) {
                std::string keys = keysOf(table, row);
                for (size_t c = 0; c < table.columns.size(); ++c)
                    cells_.emplace(toUtf8(table.name) + "." + toUtf8(table.columns[c].name) + keys,
                                   &row[c]);
            }
    }
    const Cell* find(const std::string& context) const {
        auto found = cells_.find(context);
        return found == cells_.end() ? nullptr : found->second;
    }

  private:
    std::unordered_map<std::string, const Cell*> cells_;
};

// The `[...]` references of a text, sorted, and its leading style.
std::vector<std::string> placeholders(const std::string& text) {
    std::vector<std::string> found;
    for (size_t at = text.find('['); at != std::string::npos; at = text.find('[', at + 1)) {
        size_t end = text.find(']', at);
        if (end == std::string::npos)
            break;
        found.push_back(text.substr(at, end - at + 1));
    }
    std::sort(found.begin(), found.end());
    if (text.compare(0, 2, "{\\") == 0 || text.compare(0, 2, "{&") == 0) {
        size_t end = text.find('}');
        if (end != std::string::npos)
            found.push_back("style " + text.substr(0, end + 1));
    }
    return found;
}

std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : " ") + item;
    return text.empty() ? "none" : text;
}

[[noreturn]] void refuse(const po::Entry& entry, const std::string& reason) {
    throw TranslationError("line " + std::to_string(entry.line) + ": " + reason);
}

// The gettext name of the languages the setup offers, by LCID.
std::string languageName(const std::u16string& lcid) {
    static const std::map<std::u16string, const char*> names = {
        {u"1031", "de"}, {u"1033", "en"}, {u"1034", "es"},   {u"1036", "fr"},
        {u"1040", "it"}, {u"1043", "nl"}, {u"1046", "pt_BR"}};
    auto found = names.find(lcid);
    return found == names.end() ? std::string() : found->second;
}

} // namespace

std::vector<po::Entry> exportTexts(const Database& base, const Database* localized) {
    std::vector<po::Entry> entries(1);
    std::string project = toUtf8(msi_database::property(base, u"ProductName")) + " " +
                          toUtf8(msi_database::property(base, u"ProductVersion"));
    entries[0].str = "Project-Id-Version: " + project +
                     "\n"
                     "MIME-Version: 1.0\n"
                     "Content-Type: text/plain; charset=UTF-8\n"
                     "Content-Transfer-Encoding: 8bit\n";
    std::string language =
        localized ? languageName(msi_database::property(*localized, u"ProductLanguage")) : "";
    if (!language.empty())
        entries[0].str += "Language: " + language + "\n";
    std::unique_ptr<OtherBuild> other(localized ? new OtherBuild(*localized) : nullptr);
    for (const TextCell& cell : textCells(base)) {
        po::Entry entry;
        std::string place = placeOf(*cell.table, cell.table->rows[cell.row]);
        if (!place.empty())
            entry.extracted.push_back(place);
        entry.context = cell.context;
        entry.id = toUtf8(cell.table->rows[cell.row][cell.column].text());
        if (other)
            if (const Cell* text = other->find(cell.context))
                if (text->kind == Cell::String)
                    entry.str = toUtf8(text->text());
        entries.push_back(std::move(entry));
    }
    return entries;
}

void translate(Database& database, const std::vector<po::Entry>& entries, uint32_t lcid) {
    std::map<std::string, TextCell> cells;
    for (const TextCell& cell : textCells(database))
        cells.emplace(cell.context, cell);
    if (database.codePage == 0)
        database.codePage = msi_database::ansiCodePage(lcid);
    std::vector<std::pair<const TextCell*, std::u16string>> changes;
    for (const po::Entry& entry : entries) {
        if (!entry.translated())
            continue;
        if (!entry.context)
            refuse(entry, "msgid \"" + entry.id +
                              "\" has no msgctxt naming its cell; make the PO file from the "
                              "template setup-pack --export-texts writes");
        auto found = cells.find(*entry.context);
        if (found == cells.end())
            refuse(entry, "msgctxt \"" + *entry.context + "\" names no text of the package");
        const TextCell& cell = found->second;
        if (toUtf8(cell.table->rows[cell.row][cell.column].text()) != entry.id)
            refuse(entry, "the msgid of \"" + *entry.context +
                              "\" is no longer the package's text; update the PO file from a "
                              "new template (msgmerge)");
        std::vector<std::string> ours = placeholders(entry.id), theirs = placeholders(entry.str);
        if (ours != theirs)
            refuse(entry, "the msgstr of \"" + *entry.context + "\" has the placeholders " +
                              listed(theirs) + ", its msgid " + listed(ours));
        std::u16string text = common::toUtf16(entry.str);
        std::string bytes;
        if (!msi_database::encodeText(database.codePage, text, bytes)) {
            std::u16string one;
            for (size_t i = 0; i < text.size(); ++i) {
                bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size();
                one.assign(text, i, pair ? 2 : 1);
                if (!msi_database::encodeText(database.codePage, one, bytes))
                    break;
                i += pair ? 1 : 0;
            }
            refuse(entry, "the msgstr of \"" + *entry.context + "\" holds \"" + toUtf8(one) +
                              "\", which code page " + std::to_string(database.codePage) +
                              " cannot hold");
        }
        changes.emplace_back(&cell, std::move(text));
    }
    for (auto& change : changes) {
        // The cells were found in this very database.
        Table& table =
            database.tables[static_cast<size_t>(change.first->table - database.tables.data())];
        table.rows[change.first->row][change.first->column].setText(std::move(change.second));
    }
    for (Table& table : database.tables)
        if (table.name == u"Property")
            for (auto& row : table.rows)
                if (row.size() > 1 && row[0].text() == u"ProductLanguage")
                    row[1].setText(common::toUtf16(std::to_string(lcid)));
}

} // namespace msi_texts
