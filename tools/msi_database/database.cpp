#include "msi_database/database.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "compound_file/compound_file.h"
#include "msi_database/code_page.h"
#include "msi_database/stream_name.h"

namespace msi_database {

namespace {

using common::FormatError;

std::string quoted(const std::u16string& name) {
    return "`" + encodeTextReplacing(65001, name) + "`";
}

// The strings of `_StringPool` (lengths) and `_StringData` (bytes), decoded
// from the pool's code page when a cell refers to them.
class Pool {
  public:
    Pool(common::Bytes entries, common::Bytes data) : data_(std::move(data)) {
        if (entries.size() < 4 || entries.size() % 4)
            throw FormatError("the string pool is no whole number of entries");
        uint32_t header = common::readLe32(entries.data());
        codePage_ = header & 0x7FFFFFFF;
        refBytes_ = header & 0x80000000u ? 3 : 2;
        spans_.push_back({0, 0}); // id 0: null
        size_t offset = 0;
        for (size_t at = 4; at < entries.size(); at += 4) {
            size_t length = common::readLe16(&entries[at]);
            // A string of 64 KiB or more: its length is in the next entry.
            if (length == 0 && common::readLe16(&entries[at + 2]) != 0) {
                at += 4;
                if (at >= entries.size())
                    throw FormatError("the string pool ends inside the length of a long string");
                length = common::readLe32(&entries[at]);
            }
            if (length > data_.size() - offset)
                throw FormatError("the string pool's lengths run past the end of its data");
            spans_.push_back({offset, length});
            offset += length;
        }
        texts_.resize(spans_.size());
        decoded_.resize(spans_.size());
    }

    uint32_t codePage() const { return codePage_; }
    int refBytes() const { return refBytes_; }
    size_t size() const { return spans_.size(); }

    const std::u16string& text(uint32_t id) {
        if (!decoded_[id]) {
            std::string bytes(data_.begin() + spans_[id].first,
                              data_.begin() + spans_[id].first + spans_[id].second);
            if (!decodeText(codePage_, bytes, texts_[id])) {
                // A code page we do not know still holds ASCII.
                for (char c : bytes)
                    if (static_cast<unsigned char>(c) >= 0x80)
                        throw FormatError("string " + std::to_string(id) +
                                          " of the pool is no text of code page " +
                                          std::to_string(codePage_));
                texts_[id].assign(bytes.begin(), bytes.end());
            }
            decoded_[id] = 1;
        }
        return texts_[id];
    }

    // Counts what the cells of one read take, and refuses past the bounds.
    void spend(size_t cells, size_t units, const std::u16string& table) {
        if (cells > maxCells - cells_ || units > maxCellTextUnits - units_)
            throw FormatError("table " + quoted(table) +
                              " asks for more cells or text than any database holds");
        cells_ += cells;
        units_ += units;
    }

  private:
    size_t cells_ = 0, units_ = 0;
    common::Bytes data_;
    uint32_t codePage_ = 0;
    int refBytes_ = 2;
    std::vector<std::pair<size_t, size_t>> spans_; // by id: offset, length
    std::vector<std::u16string> texts_;
    std::vector<uint8_t> decoded_;
};

std::optional<compound_file::Entry> findStream(const compound_file::Reader& file,
                                               const std::u16string& name, bool table) {
    std::u16string packed;
    packStreamName(name, table, packed);
    std::optional<compound_file::Entry> entry = file.find(packed);
    if (entry && entry->type != compound_file::EntryType::Stream)
        entry.reset();
    return entry;
}

int cellBytes(int type, int refBytes) {
    if (isBinaryType(type))
        return 2;
    if (type & typeString)
        return refBytes;
    return integerBytes(type);
}

// The rows of a table stream: all cells of column 1, then of column 2...
std::vector<std::vector<Cell>> decodeRows(const common::Bytes& stream,
                                          const std::vector<Column>& columns, Pool& pool,
                                          const std::u16string& table) {
    size_t width = 0;
    for (const Column& column : columns)
        width += static_cast<size_t>(cellBytes(column.type, pool.refBytes()));
    if (stream.empty())
        return {};
    if (width == 0 || stream.size() % width)
        throw FormatError("the stream of table " + quoted(table) + " is no whole number of rows");
    pool.spend(stream.size() / width * columns.size(), 0, table);
    std::vector<std::vector<Cell>> rows(stream.size() / width, std::vector<Cell>(columns.size()));
    const uint8_t* at = stream.data();
    for (size_t c = 0; c < columns.size(); ++c) {
        int type = columns[c].type;
        int bytes = cellBytes(type, pool.refBytes());
        for (auto& row : rows) {
            uint32_t raw = bytes == 2   ? common::readLe16(at)
                           : bytes == 3 ? common::readLe16(at) | static_cast<uint32_t>(at[2]) << 16
                                        : common::readLe32(at);
            at += bytes;
            Cell& cell = row[c];
            if (raw == 0)
                continue; // null
            if (isBinaryType(type)) {
                cell.kind = Cell::Binary;
            } else if (type & typeString) {
                if (raw >= pool.size())
                    throw FormatError("table " + quoted(table) + " refers to string " +
                                      std::to_string(raw) + ", past the pool's " +
                                      std::to_string(pool.size() - 1));
                pool.spend(0, pool.text(raw).size(), table);
                cell.text = pool.text(raw);
                cell.kind = cell.text.empty() ? Cell::Null : Cell::String;
            } else {
                cell.kind = Cell::Integer;
                cell.number = bytes == 2 ? static_cast<int32_t>(raw) - 0x8000
                                         : static_cast<int32_t>(raw ^ 0x80000000u);
            }
        }
    }
    return rows;
}

// The two tables every database has, whose columns are not in `_Columns`.
const std::vector<Column>& fixedColumns(const std::u16string& table) {
    static const std::vector<Column> none;
    static const std::vector<Column> tables = {{u"Name", typeKey | typeString | 0x0500 | 64}};
    static const std::vector<Column> columns = {{u"Table", typeKey | typeString | 0x0500 | 64},
                                                {u"Number", typeKey | 0x0500 | 2},
                                                {u"Name", typeString | 0x0500 | 64},
                                                {u"Type", 0x0500 | 2}};
    return table == u"_Tables" ? tables : table == u"_Columns" ? columns : none;
}

class DatabaseReader {
  public:
    explicit DatabaseReader(const compound_file::Reader& file) : file_(file), pool_(openPool()) {
        readSchema();
    }

    uint32_t codePage() const { return pool_.codePage(); }
    const std::vector<std::u16string>& tableNames() const { return tableNames_; }
    bool hasTable(const std::u16string& name) const { return columns_.count(name) != 0; }

    Table table(const std::u16string& name, bool withData) {
        Table table{name, columns_[name], {}};
        std::optional<compound_file::Entry> stream = findStream(file_, name, true);
        if (!stream)
            return table;
        table.rows = decodeRows(file_.read(*stream), table.columns, pool_, name);
        if (!withData)
            return table;
        for (auto& row : table.rows)
            for (Cell& cell : row)
                if (cell.kind == Cell::Binary) {
                    std::u16string cellName = binaryStreamName(table, row);
                    std::optional<compound_file::Entry> data = findStream(file_, cellName, false);
                    if (!data)
                        throw FormatError("the binary cell " + quoted(cellName) + " has no stream");
                    cell.data = file_.read(*data);
                }
        return table;
    }

  private:
    Pool openPool() {
        std::optional<compound_file::Entry> entries = findStream(file_, u"_StringPool", true);
        std::optional<compound_file::Entry> data = findStream(file_, u"_StringData", true);
        if (!entries || !data)
            throw FormatError("the database has no string pool");
        return Pool(file_.read(*entries), file_.read(*data));
    }

    std::vector<std::vector<Cell>> systemRows(const std::u16string& name) {
        std::optional<compound_file::Entry> stream = findStream(file_, name, true);
        if (!stream)
            return {};
        return decodeRows(file_.read(*stream), fixedColumns(name), pool_, name);
    }

    void readSchema() {
        if (!findStream(file_, u"_Tables", true))
            throw FormatError("the database has no table `_Tables`");
        for (const auto& row : systemRows(u"_Tables")) {
            if (row[0].kind != Cell::String)
                throw FormatError("table `_Tables` lists a table without a name");
            if (!columns_.emplace(row[0].text, fixedColumns(row[0].text)).second)
                throw FormatError("table `_Tables` lists " + quoted(row[0].text) + " twice");
            tableNames_.push_back(row[0].text);
        }
        std::map<std::u16string, std::map<int32_t, Column>> numbered;
        for (const auto& row : systemRows(u"_Columns")) {
            const std::u16string& table = row[0].text;
            if (row[0].kind != Cell::String || row[1].kind != Cell::Integer ||
                row[2].kind != Cell::String || row[3].kind != Cell::Integer)
                throw FormatError("table `_Columns` has a row with a null cell" +
                                  (table.empty() ? std::string() : " for " + quoted(table)));
            if (!numbered[table]
                     .emplace(row[1].number, Column{row[2].text, row[3].number & 0x7FFF})
                     .second)
                throw FormatError("table " + quoted(table) + " has two columns number " +
                                  std::to_string(row[1].number));
        }
        for (auto& table : numbered) {
            auto found = columns_.find(table.first);
            if (found == columns_.end() || !fixedColumns(table.first).empty())
                continue; // columns of no listed table
            // Numbered 1 to n, each once: the map's keys are ascending.
            if (table.second.begin()->first != 1 ||
                table.second.rbegin()->first != static_cast<int32_t>(table.second.size()))
                throw FormatError("the columns of table " + quoted(table.first) +
                                  " are not numbered 1 to " + std::to_string(table.second.size()));
            for (auto& column : table.second)
                found->second.push_back(std::move(column.second));
        }
    }

    const compound_file::Reader& file_;
    Pool pool_;
    std::vector<std::u16string> tableNames_;
    std::map<std::u16string, std::vector<Column>> columns_;
};

std::u16string cellText(const Cell& cell) {
    if (cell.kind == Cell::Integer) {
        std::string digits = std::to_string(cell.number);
        return std::u16string(digits.begin(), digits.end());
    }
    return cell.kind == Cell::String ? cell.text : std::u16string();
}

} // namespace

FileKind fileKind(const compound_file::Reader& file) {
    // {000C10xx-0000-0000-C000-000000000046} as stored.
    static const uint8_t rest[15] = {0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    const uint8_t* id = file.rootClass().bytes;
    if (std::memcmp(id + 1, rest, sizeof rest) != 0)
        return FileKind::Other;
    switch (id[0]) {
    case 0x84:
        return FileKind::Package;
    case 0x82:
        return FileKind::Transform;
    case 0x86:
        return FileKind::Patch;
    default:
        return FileKind::Other;
    }
}

Database readDatabase(const compound_file::Reader& file) {
    DatabaseReader reader(file);
    Database database;
    database.codePage = reader.codePage();
    // Streams named after a table with binary columns are its cells.
    std::vector<std::u16string> cellPrefixes;
    for (const std::u16string& name : reader.tableNames()) {
        database.tables.push_back(reader.table(name, true));
        for (const Column& column : database.tables.back().columns)
            if (isBinaryType(column.type)) {
                cellPrefixes.push_back(name + u".");
                break;
            }
    }
    for (const compound_file::Entry& entry : file.children()) {
        bool table = false;
        std::u16string name = unpackStreamName(entry.name, &table);
        if (entry.type == compound_file::EntryType::Storage) {
            database.storages.push_back(name);
            continue;
        }
        // Tables and the pool; the summary and other property sets.
        if (entry.type != compound_file::EntryType::Stream || table || name.empty() ||
            name[0] < 0x20)
            continue;
        bool cell = false;
        for (const std::u16string& prefix : cellPrefixes)
            cell = cell || name.compare(0, prefix.size(), prefix) == 0;
        if (!cell)
            database.streams.emplace_back(name, file.read(entry));
    }
    std::sort(database.streams.begin(), database.streams.end());
    std::sort(database.storages.begin(), database.storages.end());
    return database;
}

Database readTables(const compound_file::Reader& file, const std::vector<std::u16string>& names) {
    DatabaseReader reader(file);
    Database database;
    database.codePage = reader.codePage();
    for (const std::u16string& name : names)
        if (reader.hasTable(name))
            database.tables.push_back(reader.table(name, false));
    return database;
}

std::u16string binaryStreamName(const Table& table, const std::vector<Cell>& row) {
    std::u16string name = table.name;
    for (size_t i = 0; i < table.columns.size() && i < row.size(); ++i)
        if (table.columns[i].type & typeKey)
            name += u"." + cellText(row[i]);
    return name;
}

std::u16string property(const Database& database, const std::u16string& name) {
    for (const Table& table : database.tables)
        if (table.name == u"Property")
            for (const auto& row : table.rows)
                if (row.size() > 1 && row[0].text == name)
                    return row[1].text;
    return std::u16string();
}

} // namespace msi_database
