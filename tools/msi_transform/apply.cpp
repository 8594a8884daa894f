#include "msi_transform/apply.h"

#include <algorithm>
#include <map>

#include "compound_file/compound_file.h"
#include "msi_database/code_page.h"
#include "msi_database/stream_name.h"

namespace msi_transform {

using common::FormatError;

std::vector<Stream> rootStreams(const compound_file::Reader& file) {
    std::vector<Stream> streams;
    for (const compound_file::Entry& entry : file.children())
        if (entry.type == compound_file::EntryType::Stream)
            streams.push_back({entry.name, file.read(entry)});
    return streams;
}

namespace {

std::string quoted(const std::u16string& name) {
    return "`" + toUtf8(name) + "`";
}

// The schemas of the two system tables a transform changes.
const int nameKeyType = typeKey | typeString | 0x0400 | typeValid | 64;
const int nameType = typeString | 0x0400 | typeValid | 64;
const int shortKeyType = typeKey | 0x0400 | typeValid | 2;
const int shortType = 0x0400 | typeValid | 2;
const Table tablesSchema{u"_Tables", {{u"Name", nameKeyType}}, {}};
const Table columnsSchema{
    u"_Columns",
    {{u"Table", nameKeyType}, {u"Number", shortKeyType}, {u"Name", nameType}, {u"Type", shortType}},
    {}};

struct Pool {
    std::vector<std::u16string> strings{u""}; // by id; id 0 and unused ids are empty
    int refBytes = 2;
    uint32_t codePage = 0;
    size_t copiedUnits = 0; // of strings copied into cells
};

Pool readPool(const Bytes* entries, const Bytes* data) {
    if (!entries || !data)
        throw FormatError("the transform has no string pool");
    if (entries->size() < 4 || entries->size() % 4)
        throw FormatError("the string pool's size is no multiple of 4");
    Pool pool;
    uint32_t header = common::readLe32(entries->data());
    pool.codePage = header & 0x7FFFFFFF;
    pool.refBytes = header & 0x80000000u ? 3 : 2;
    size_t offset = 0;
    for (size_t at = 4; at < entries->size(); at += 4) {
        uint32_t length = common::readLe16(entries->data() + at);
        uint32_t count = common::readLe16(entries->data() + at + 2);
        if (length == 0 && count != 0) { // a string of 64 KiB or more: its length follows
            at += 4;
            if (at >= entries->size())
                throw FormatError("the string pool ends inside the entry of a long string");
            length = common::readLe32(entries->data() + at);
        }
        if (length > data->size() - offset)
            throw FormatError("the string pool runs past the string data");
        std::string bytes(data->begin() + offset, data->begin() + offset + length);
        offset += length;
        pool.strings.emplace_back();
        if (!msi_database::decodeText(pool.codePage, bytes, pool.strings.back()))
            throw FormatError("string " + std::to_string(pool.strings.size() - 1) +
                              " of the pool is no text of code page " +
                              std::to_string(pool.codePage));
    }
    return pool;
}

// One row of a table stream: the mask and the cells it carries.
struct Row {
    uint16_t mask = 0;
    std::vector<Cell> cells;
    std::vector<bool> present;
    bool insert() const { return mask & 1; }
    bool remove() const { return mask == 0; }
};

class RowReader {
  public:
    RowReader(const Bytes& bytes, const Table& table, Pool& pool)
        : bytes_(bytes), table_(table), pool_(pool) {}

    bool done() const { return at_ == bytes_.size(); }

    Row next() {
        const std::vector<Column>& columns = table_.columns;
        Row row;
        row.mask = static_cast<uint16_t>(take(2));
        row.cells.resize(columns.size());
        row.present.assign(columns.size(), false);
        size_t inserted = row.mask >> 8;
        if (row.insert() && inserted > columns.size())
            throw FormatError("an insert into table " + quoted(table_.name) + " carries " +
                              std::to_string(inserted) + " columns, the table has " +
                              std::to_string(columns.size()));
        if (!row.insert() && columns.size() < 16 && (row.mask >> columns.size()) != 0)
            throw FormatError("an update of table " + quoted(table_.name) +
                              " names a column past its " + std::to_string(columns.size()));
        for (size_t i = 0; i < columns.size(); ++i) {
            bool key = (columns[i].type & typeKey) != 0;
            row.present[i] = row.insert() ? i < inserted : key || (row.mask >> i & 1);
            if (row.present[i])
                row.cells[i] = field(columns[i].type);
            else if (key)
                throw FormatError("an insert into table " + quoted(table_.name) +
                                  " lacks key column " + quoted(columns[i].name));
        }
        return row;
    }

  private:
    uint32_t take(size_t count) {
        if (bytes_.size() - at_ < count)
            throw FormatError("the stream of table " + quoted(table_.name) + " ends inside a row");
        uint32_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value |= static_cast<uint32_t>(bytes_[at_ + i]) << (8 * i);
        at_ += count;
        return value;
    }

    Cell field(int type) {
        Cell cell;
        if (isBinaryType(type)) {
            if (take(2))
                cell.kind = Cell::Binary; // its data comes from its stream
        } else if (type & typeString) {
            uint32_t id = take(static_cast<size_t>(pool_.refBytes));
            if (id >= pool_.strings.size())
                throw FormatError("a row of table " + quoted(table_.name) + " refers to string " +
                                  std::to_string(id) + ", past the pool's " +
                                  std::to_string(pool_.strings.size() - 1));
            if (!pool_.strings[id].empty()) {
                // A long string referred to over and over must not ask for
                // more memory than any database holds.
                if (pool_.strings[id].size() > msi_database::maxCellTextUnits - pool_.copiedUnits)
                    throw FormatError("table " + quoted(table_.name) +
                                      " asks for more text than any database holds");
                pool_.copiedUnits += pool_.strings[id].size();
                cell.kind = Cell::String;
                cell.text = pool_.strings[id];
            }
        } else if (integerBytes(type) == 2) {
            uint32_t raw = take(2);
            if (raw) {
                cell.kind = Cell::Integer;
                cell.number = static_cast<int32_t>(raw) - 0x8000;
            }
        } else {
            uint32_t raw = take(4);
            if (raw) {
                cell.kind = Cell::Integer;
                cell.number = static_cast<int32_t>(raw ^ 0x80000000u);
            }
        }
        return cell;
    }

    const Bytes& bytes_;
    const Table& table_;
    Pool& pool_;
    size_t at_ = 0;
};

class Applier {
  public:
    Applier(const std::vector<Stream>& streams, Database& database) : database_(database) {
        for (const Stream& stream : streams)
            streams_[stream.name] = &stream.bytes;
    }

    void run() {
        pool_ = readPool(stream(u"_StringPool", true), stream(u"_StringData", true));
        if (pool_.codePage && database_.codePage && pool_.codePage != database_.codePage)
            throw FormatError("the transform changes the code page from " +
                              std::to_string(database_.codePage) + " to " +
                              std::to_string(pool_.codePage));
        if (const Bytes* tables = stream(u"_Tables", true))
            changeTables(*tables);
        if (const Bytes* columns = stream(u"_Columns", true))
            addColumns(*columns);
        finishAddedTables();
        for (const auto& entry : streams_) {
            bool table = false;
            std::u16string name = msi_database::unpackStreamName(entry.first, &table);
            if (!table || name == u"_StringPool" || name == u"_StringData" || name == u"_Tables" ||
                name == u"_Columns")
                continue;
            // Embedded files (a cabinet, a nested storage) are the file's own
            // streams and storages, not rows of a table: the Windows Installer
            // applies such changes, and so they pass unchecked here.
            if (name == u"_Streams" || name == u"_Storages")
                continue;
            Table* target = findTable(name);
            if (!target)
                throw FormatError("the transform changes table " + quoted(name) +
                                  ", which neither exists nor is added");
            changeRows(*entry.second, *target);
        }
    }

  private:
    const Bytes* stream(const std::u16string& name, bool table) const {
        std::u16string packed;
        if (!packStreamName(name, table, packed))
            return nullptr;
        auto found = streams_.find(packed);
        return found == streams_.end() ? nullptr : found->second;
    }

    Table* findTable(const std::u16string& name) {
        for (Table& table : database_.tables)
            if (table.name == name)
                return &table;
        return nullptr;
    }

    void changeTables(const Bytes& bytes) {
        RowReader reader(bytes, tablesSchema, pool_);
        while (!reader.done()) {
            Row row = reader.next();
            const std::u16string& name = row.cells[0].text;
            if (row.cells[0].kind != Cell::String)
                throw FormatError("a row of `_Tables` names no table");
            if (row.insert()) {
                if (findTable(name))
                    throw FormatError("the transform adds table " + quoted(name) +
                                      ", which exists");
                database_.tables.push_back({name, {}, {}});
                added_[name];
            } else if (row.remove()) {
                Table* table = findTable(name);
                if (!table)
                    throw FormatError("the transform drops table " + quoted(name) +
                                      ", which does not exist");
                database_.tables.erase(database_.tables.begin() + (table - &database_.tables[0]));
                added_.erase(name);
            } else {
                throw FormatError("the transform updates a row of `_Tables`");
            }
        }
    }

    // Columns come only with the tables the transform adds.
    void addColumns(const Bytes& bytes) {
        RowReader reader(bytes, columnsSchema, pool_);
        while (!reader.done()) {
            Row row = reader.next();
            const std::u16string &table = row.cells[0].text, &name = row.cells[2].text;
            if (!row.insert())
                throw FormatError("the transform changes or drops column " + quoted(name) +
                                  " of table " + quoted(table));
            auto columns = added_.find(table);
            if (columns == added_.end())
                throw FormatError(
                    "the transform adds column " + quoted(name) + " to table " + quoted(table) +
                    (findTable(table) ? ", which exists" : ", which neither exists nor is added"));
            if (row.cells[3].kind != Cell::Integer || name.empty())
                throw FormatError("column " + quoted(name) + " of table " + quoted(table) +
                                  " has no name or no type");
            // A new table's column may come without its number: the next one.
            int32_t number = row.cells[1].kind == Cell::Integer
                                 ? row.cells[1].number
                                 : static_cast<int32_t>(columns->second.size() + 1);
            columns->second.emplace_back(number, Column{name, row.cells[3].number});
        }
    }

    void finishAddedTables() {
        for (auto& entry : added_) {
            auto& columns = entry.second;
            std::stable_sort(columns.begin(), columns.end(),
                             [](const std::pair<int32_t, Column>& a,
                                const std::pair<int32_t, Column>& b) { return a.first < b.first; });
            Table& table = *findTable(entry.first);
            for (size_t i = 0; i < columns.size(); ++i) {
                if (columns[i].first != static_cast<int32_t>(i + 1))
                    throw FormatError("the columns of the added table " + quoted(table.name) +
                                      " are not numbered 1 to " + std::to_string(columns.size()));
                table.columns.push_back(columns[i].second);
            }
            if (table.columns.empty() || !(table.columns[0].type & typeKey))
                throw FormatError("the added table " + quoted(table.name) +
                                  " has no columns or no key first");
        }
    }

    void changeRows(const Bytes& bytes, Table& table) {
        std::map<std::u16string, size_t> index; // key -> row
        for (size_t i = 0; i < table.rows.size(); ++i)
            index[rowKey(table, table.rows[i])] = i;
        std::vector<bool> erased(table.rows.size(), false);
        RowReader reader(bytes, table, pool_);
        while (!reader.done()) {
            Row row = reader.next();
            readBinaryCells(table, row);
            std::u16string key = rowKey(table, row.cells);
            auto found = index.find(key);
            std::string what = "row " + quoted(binaryStreamName(table, row.cells));
            if (row.insert()) {
                if (found != index.end())
                    throw FormatError("the transform inserts " + what + ", which exists");
                index[key] = table.rows.size();
                table.rows.push_back(std::move(row.cells));
                erased.push_back(false);
                continue;
            }
            if (found == index.end())
                throw FormatError("the transform " +
                                  std::string(row.remove() ? "deletes " : "updates ") + what +
                                  ", which does not exist");
            if (row.remove()) {
                erased[found->second] = true;
                index.erase(found);
                continue;
            }
            std::vector<Cell>& cells = table.rows[found->second];
            for (size_t i = 0; i < cells.size(); ++i)
                if (row.present[i])
                    cells[i] = std::move(row.cells[i]);
        }
        size_t kept = 0;
        for (size_t i = 0; i < table.rows.size(); ++i)
            if (!erased[i] && kept++ != i)
                table.rows[kept - 1] = std::move(table.rows[i]);
        table.rows.resize(kept);
    }

    void readBinaryCells(const Table& table, Row& row) const {
        for (size_t i = 0; i < row.cells.size(); ++i)
            if (row.present[i] && row.cells[i].kind == Cell::Binary) {
                std::u16string name = binaryStreamName(table, row.cells);
                const Bytes* data = stream(name, false);
                if (!data)
                    throw FormatError("the binary cell " + quoted(name) +
                                      " of the transform has no stream");
                row.cells[i].data = *data;
            }
    }

    Database& database_;
    std::map<std::u16string, const Bytes*> streams_; // by packed name
    Pool pool_;
    // The tables `_Tables` adds, with their columns by number.
    std::map<std::u16string, std::vector<std::pair<int32_t, Column>>> added_;
};

} // namespace

void applyTransform(const std::vector<Stream>& streams, Database& database) {
    Applier(streams, database).run();
}

} // namespace msi_transform
