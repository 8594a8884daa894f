#include "msi_transform/diff.h"

#include <map>

namespace msi_transform {

std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

const Table* findTable(const Database& database, const std::u16string& name) {
    for (const Table& table : database.tables)
        if (table.name == name)
            return &table;
    return nullptr;
}

std::u16string cellText(const Cell& cell) {
    switch (cell.kind) {
    case Cell::Integer: {
        std::string digits = std::to_string(cell.number);
        return std::u16string(digits.begin(), digits.end());
    }
    case Cell::String:
        return cell.text;
    default:
        return std::u16string();
    }
}

} // namespace

// The separator cannot occur in a text of the installer.
std::u16string rowKey(const Table& table, const std::vector<Cell>& row) {
    std::u16string key;
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].type & typeKey) {
            key += static_cast<char16_t>(u'0' + row[i].kind);
            key += cellText(row[i]);
            key += char16_t(0);
        }
    return key;
}

namespace {

std::string quoted(const std::u16string& name) {
    return "`" + toUtf8(name) + "`";
}

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
    if (!packStreamName(name, table, packed))
        throw Refusal("the stream name " + quoted(name) + " is too long for a transform");
}

void checkLocalizedTable(const Table& table) {
    if (table.columns.empty() || !(table.columns[0].type & typeKey))
        throw Refusal("the first column of table " + quoted(table.name) + " is no key");
    checkStreamName(table.name, true);
}

void addBinaryStreamChecks(const Table& table, const std::vector<Cell>& row) {
    for (size_t i = 0; i < table.columns.size(); ++i)
        if (isBinaryType(table.columns[i].type) && row[i].kind == Cell::Binary)
            checkStreamName(binaryStreamName(table, row), false);
}

// The Windows Installer compares GUIDs without regard to case.
bool sameGuid(const std::u16string& a, const std::u16string& b) {
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

} // namespace

std::vector<TableChange> diffDatabases(const Database& base, const Database& localized) {
    static const struct {
        const char16_t* name;
        bool guid;
    } sameProperties[] = {
        {u"ProductCode", true}, {u"UpgradeCode", true}, {u"ProductVersion", false}};
    for (const auto& same : sameProperties) {
        const std::u16string ours = property(base, same.name),
                             theirs = property(localized, same.name);
        if (same.guid ? !sameGuid(ours, theirs) : ours != theirs)
            throw Refusal("the localized package has another " + toUtf8(same.name) + " (" +
                          toUtf8(theirs) + " instead of " + toUtf8(ours) + ")");
    }
    for (const Table& table : base.tables)
        if (!findTable(localized, table.name))
            throw Refusal("the localized package drops table " + quoted(table.name));
    if (base.streams != localized.streams)
        throw Refusal("the localized package changes the `_Streams` table (embedded files)");
    if (base.storages != localized.storages)
        throw Refusal("the localized package changes the `_Storages` table (embedded storages)");

    std::vector<TableChange> changes;
    for (const Table& table : localized.tables) {
        const Table* old = findTable(base, table.name);
        TableChange change;
        change.table = &table;
        change.added = old == nullptr;
        if (old)
            checkTableColumns(*old, table);
        for (const auto& row : table.rows)
            if (row.size() != table.columns.size())
                throw Refusal("a row of table " + quoted(table.name) + " has a wrong size");

        std::map<std::u16string, const std::vector<Cell>*> localizedRows;
        for (const auto& row : table.rows)
            localizedRows.emplace(rowKey(table, row), &row);
        std::map<std::u16string, bool> baseKeys;
        std::vector<RowChange> deletes;
        if (old) {
            for (const auto& row : old->rows) {
                std::u16string key = rowKey(table, row);
                baseKeys[key] = true;
                auto found = localizedRows.find(key);
                if (found == localizedRows.end()) {
                    deletes.push_back({RowChange::Delete, row, 0});
                    continue;
                }
                const std::vector<Cell>& now = *found->second;
                uint32_t mask = 0;
                for (size_t i = 0; i < table.columns.size(); ++i) {
                    if ((table.columns[i].type & typeKey) || now[i] == row[i])
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
        for (char16_t c : text)
            if (c >= 0x80)
                return true;
        return false;
    };
    for (const TableChange& change : changes) {
        if (wide(change.table->name))
            return true;
        for (const Column& column : change.table->columns)
            if (change.added && wide(column.name))
                return true;
        for (const RowChange& row : change.rows)
            for (const Cell& cell : row.cells)
                if (cell.kind == Cell::String && wide(cell.text))
                    return true;
    }
    return false;
}

namespace {

// `_Tables` and `_Columns` as a transform writes them.
const int nameKeyType = typeKey | typeString | 0x0400 | typeValid | 64;
const int nameType = typeString | 0x0400 | typeValid | 64;
const int shortKeyType = typeKey | 0x0400 | typeValid | 2;
const int shortType = 0x0400 | typeValid | 2;

struct Writer {
    StringPool pool;
    const Encoder& encode;
    std::vector<Stream> streams;

    uint32_t reference(const std::u16string& text) {
        std::string bytes;
        if (!encode(text, bytes))
            throw Refusal("the code page of the transform cannot hold the text \"" + toUtf8(text) +
                          "\"");
        return pool.reference(bytes);
    }

    Field field(const Cell& cell) {
        Field out;
        out.kind = static_cast<Field::Kind>(cell.kind);
        out.number = cell.number;
        if (cell.kind == Cell::String)
            out.stringId = reference(cell.text);
        return out;
    }
};

struct EncodedRow {
    uint16_t mask;
    std::vector<Field> fields; // in column order; absent columns are Null
    std::vector<bool> present;
};

} // namespace

std::vector<Stream> transformStreams(const std::vector<TableChange>& changes, uint32_t codePage,
                                     const Encoder& encode) {
    Writer writer{StringPool(codePage), encode, {}};
    struct Pending {
        std::u16string name;
        std::vector<int> types;
        std::vector<EncodedRow> rows;
    };
    std::vector<Pending> tables;
    Pending tablesTable{u"_Tables", {nameKeyType}, {}};
    Pending columnsTable{u"_Columns", {nameKeyType, shortKeyType, nameType, shortType}, {}};

    // Pool ids first, in the order the rows reference them; the streams are
    // encoded afterwards, when the width of a reference is known.
    for (const TableChange& change : changes) {
        const Table& table = *change.table;
        if (change.added) {
            uint32_t nameId = writer.reference(table.name);
            tablesTable.rows.push_back({0x0101, {{Field::String, 0, nameId}}, {true}});
            for (size_t i = 0; i < table.columns.size(); ++i) {
                uint32_t tableId = writer.reference(table.name);
                uint32_t columnId = writer.reference(table.columns[i].name);
                columnsTable.rows.push_back({0x0401,
                                             {{Field::String, 0, tableId},
                                              {Field::Integer, static_cast<int32_t>(i + 1), 0},
                                              {Field::String, 0, columnId},
                                              {Field::Integer, table.columns[i].type, 0}},
                                             {true, true, true, true}});
            }
        }
        Pending pending{table.name, {}, {}};
        for (const Column& column : table.columns)
            pending.types.push_back(column.type);
        for (const RowChange& row : change.rows) {
            EncodedRow encoded;
            size_t count = table.columns.size();
            encoded.fields.resize(count);
            encoded.present.assign(count, false);
            for (size_t i = 0; i < count; ++i) {
                bool key = (table.columns[i].type & typeKey) != 0;
                bool present = row.op == RowChange::Insert || key ||
                               (row.op == RowChange::Update && (row.mask & (1u << i)));
                if (!present)
                    continue;
                encoded.present[i] = true;
                encoded.fields[i] = writer.field(row.cells[i]);
                if (row.op != RowChange::Delete && isBinaryType(table.columns[i].type) &&
                    row.cells[i].kind == Cell::Binary) {
                    Stream cell;
                    packStreamName(binaryStreamName(table, row.cells), false, cell.name);
                    cell.bytes = row.cells[i].data;
                    writer.streams.push_back(std::move(cell));
                }
            }
            encoded.mask = row.op == RowChange::Insert
                               ? static_cast<uint16_t>(0x0001 | (count << 8))
                           : row.op == RowChange::Update ? row.mask
                                                         : 0;
            pending.rows.push_back(std::move(encoded));
        }
        tables.push_back(std::move(pending));
    }
    if (!tablesTable.rows.empty()) {
        tables.insert(tables.begin(), std::move(columnsTable));
        tables.insert(tables.begin(), std::move(tablesTable));
    }

    std::vector<Stream> streams;
    int refBytes = writer.pool.referenceBytes();
    for (const Pending& table : tables) {
        Stream stream;
        packStreamName(table.name, true, stream.name);
        for (const EncodedRow& row : table.rows) {
            stream.bytes.push_back(static_cast<uint8_t>(row.mask));
            stream.bytes.push_back(static_cast<uint8_t>(row.mask >> 8));
            for (size_t i = 0; i < table.types.size(); ++i)
                if (row.present[i])
                    appendField(stream.bytes, table.types[i], row.fields[i], refBytes);
        }
        streams.push_back(std::move(stream));
    }
    Stream pool, data;
    packStreamName(u"_StringPool", true, pool.name);
    packStreamName(u"_StringData", true, data.name);
    pool.bytes = writer.pool.poolStream();
    data.bytes = writer.pool.dataStream();
    streams.insert(streams.begin(), std::move(data));
    streams.insert(streams.begin(), std::move(pool));
    for (Stream& cell : writer.streams)
        streams.push_back(std::move(cell));
    return streams;
}

} // namespace msi_transform
