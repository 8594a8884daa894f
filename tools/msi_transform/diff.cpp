#include "msi_transform/diff.h"

#include <algorithm>
#include <map>
#include <set>

#include "common/ascii.h"
#include "common/utf8.h"
#include "msi_database/stream_name.h"
#include "msi_database/system_tables.h"

namespace msi_transform {

// The separator cannot occur in a text of the installer.
std::u16string rowKey(const Table& table, const std::vector<Cell>& row) {
    std::u16string key;
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].type & msi_database::typeKey) {
            key += static_cast<char16_t>(u'0' + row[i].kind);
            key += msi_database::cellText(row[i]);
            key += char16_t(0);
        }
    return key;
}

namespace {

using common::toUtf8;
using msi_database::quoted;

void checkTableColumns(const Table& base, const Table& localized) {
    if (localized.columns.size() < base.columns.size())
        throw Refusal("the localized package drops column " +
                      quoted(base.columns[localized.columns.size()].name) + " of table " +
                      quoted(base.name));
    for (size_t i = 0; i < base.columns.size(); ++i) {
        if (base.columns[i].name != localized.columns[i].name)
            throw Refusal("the localized package drops column " + quoted(base.columns[i].name) +
                          " of table " + quoted(base.name));
        if (base.columns[i].type != localized.columns[i].type)
            throw Refusal("the localized package changes the type of column " +
                          quoted(base.columns[i].name) + " of table " + quoted(base.name));
    }
    if (localized.columns.size() > base.columns.size())
        throw Refusal("the localized package adds column " +
                      quoted(localized.columns[base.columns.size()].name) + " to table " +
                      quoted(base.name));
}

void checkStreamName(const std::u16string& name, bool table) {
    std::u16string packed;
    if (!msi_database::packStreamName(name, table, packed))
        throw Refusal("the stream name " + quoted(name) + " is too long for a transform");
}

void checkLocalizedTable(const Table& table) {
    if (table.columns.empty() || !(table.columns[0].type & msi_database::typeKey))
        throw Refusal("the first column of table " + quoted(table.name) + " is no key");
    checkStreamName(table.name, true);
}

void addBinaryStreamChecks(const Table& table, const std::vector<Cell>& row) {
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (msi_database::isBinaryType(table.columns[i].type) && row[i].kind == Cell::Binary)
            checkStreamName(msi_database::binaryStreamName(table, row), false);
}

} // namespace

std::vector<TableChange> diffDatabases(const Database& base, const Database& localized) {
    // The Windows Installer compares GUIDs without regard to case.
    static const struct {
        const char16_t* name;
        bool guid;
    } sameProperties[] = {
        {u"ProductCode", true}, {u"UpgradeCode", true}, {u"ProductVersion", false}};
    for (const auto& same : sameProperties) {
        const std::u16string ours = property(base, same.name),
                             theirs = property(localized, same.name);
        if (same.guid ? !common::equalIgnoringAsciiCase(ours, theirs) : ours != theirs)
            throw Refusal("the localized package has another " + toUtf8(same.name) + " (" +
                          toUtf8(theirs) + " instead of " + toUtf8(ours) + ")");
    }
    for (const Table& table : base.tables)
        if (!findTable(localized, table.name))
            throw Refusal("the localized package drops table " + quoted(table.name));
    if (base.streams != localized.streams)
        throw Refusal("the localized package changes the " +
                      quoted(msi_database::streamsTableName) + " table (embedded files)");
    if (base.storages != localized.storages)
        throw Refusal("the localized package changes the " +
                      quoted(msi_database::storagesTableName) + " table (embedded storages)");

    std::vector<TableChange> changes;
    for (const Table& table : localized.tables) {
        const Table* old = findTable(base, table.name);
        TableChange change;
        change.table = &table;
        change.added = old == nullptr;
        if (old)
            checkTableColumns(*old, table);
        std::map<std::u16string, const std::vector<Cell>*> localizedRows;
        for (const auto& row : table.rows) {
            if (row.size() != table.columns.size())
                throw Refusal("a row of table " + quoted(table.name) + " has a wrong size");
            localizedRows.emplace(rowKey(table, row), &row);
        }
        std::set<std::u16string> baseKeys;
        std::vector<RowChange> deletes;
        if (old) {
            for (const auto& row : old->rows) {
                std::u16string key = rowKey(table, row);
                baseKeys.insert(key);
                auto found = localizedRows.find(key);
                if (found == localizedRows.end()) {
                    deletes.push_back({RowChange::Delete, row, 0});
                    continue;
                }
                const std::vector<Cell>& now = *found->second;
                uint32_t mask = 0;
                for (size_t i = 0; i < table.columns.size(); ++i) {
                    if ((table.columns[i].type & msi_database::typeKey) || now[i] == row[i])
                        continue;
                    if (i >= 16)
                        throw Refusal("the localized package changes column " +
                                      quoted(table.columns[i].name) + " of table " +
                                      quoted(table.name) +
                                      ", past column 16, where a transform cannot update");
                    mask |= 1u << i;
                }
                if (mask) {
                    addBinaryStreamChecks(table, now);
                    change.rows.push_back({RowChange::Update, now, static_cast<uint16_t>(mask)});
                }
            }
        }
        for (const auto& row : table.rows)
            if (!baseKeys.count(rowKey(table, row))) {
                addBinaryStreamChecks(table, row);
                change.rows.push_back({RowChange::Insert, row, 0});
            }
        change.rows.insert(change.rows.end(), deletes.begin(), deletes.end());
        if (change.added || !change.rows.empty()) {
            checkLocalizedTable(table);
            changes.push_back(std::move(change));
        }
    }
    return changes;
}

bool needsCodePage(const std::vector<TableChange>& changes) {
    auto wide = [](const std::u16string& text) {
        return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; });
    };
    for (const TableChange& change : changes) {
        if (wide(change.table->name))
            return true;
        for (const Column& column : change.table->columns)
            if (change.added && wide(column.name))
                return true;
        for (const RowChange& row : change.rows)
            for (const Cell& cell : row.cells)
                if (cell.kind == Cell::String && wide(cell.text()))
                    return true;
    }
    return false;
}

} // namespace msi_transform
