#include "msi_database/database.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "compound_file/compound_file.h"
#include "common/utf8.h"
#include "msi_database/stream_name.h"
#include "msi_database/string_pool.h"
#include "msi_database/system_tables.h"

namespace msi_database {

namespace {

using common::FormatError;

std::optional<compound_file::Entry> findStream(const compound_file::Reader& file,
                                               const std::u16string& name, bool table) {
    std::u16string packed;
    packStreamName(name, table, packed);
    std::optional<compound_file::Entry> entry = file.find(packed);
    if (entry && entry->type != compound_file::EntryType::Stream)
        entry.reset();
    return entry;
}

class DatabaseReader {
  public:
    explicit DatabaseReader(const compound_file::Reader& file)
        : file_(file), pool_(openPool()), decoder_(pool_) {
        readSchema();
    }

    uint32_t codePage() const { return pool_.codePage(); }
    const std::vector<std::u16string>& tableNames() const { return tableNames_; }
    bool hasTable(const std::u16string& name) const { return columns_.count(name) != 0; }

    Table table(const std::u16string& name, bool withData) {
        Table table{name, columns_[name], {}};
        table.rows = rowsOf(name, table.columns);
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
    StringPool openPool() {
        std::optional<compound_file::Entry> entries = findStream(file_, poolStreamName, true);
        std::optional<compound_file::Entry> data = findStream(file_, poolDataStreamName, true);
        if (!entries || !data)
            throw FormatError("the database has no string pool");
        return StringPool(file_.read(*entries), file_.read(*data));
    }

    // The rows of the table stream of `name` (none without one): all cells
    // of column 1, then of column 2...
    std::vector<std::vector<Cell>> rowsOf(const std::u16string& name,
                                          const std::vector<Column>& columns) {
        std::optional<compound_file::Entry> entry = findStream(file_, name, true);
        if (!entry)
            return {};
        const common::Bytes stream = file_.read(*entry);
        size_t width = 0;
        for (const Column& column : columns)
            width += static_cast<size_t>(cellBytes(column.type, decoder_.refBytes()));
        if (stream.empty())
            return {};
        if (width == 0 || stream.size() % width)
            throw FormatError("the stream of table " + quoted(name) +
                              " is no whole number of rows");
        decoder_.reserve(stream.size() / width * columns.size(), name);
        std::vector<std::vector<Cell>> rows(stream.size() / width,
                                            std::vector<Cell>(columns.size()));
        const uint8_t* at = stream.data();
        for (size_t c = 0; c < columns.size(); ++c) {
            int type = columns[c].type;
            int bytes = cellBytes(type, decoder_.refBytes());
            for (auto& row : rows) {
                row[c] = decoder_.decode(type, readCellValue(at, bytes), name);
                at += bytes;
            }
        }
        return rows;
    }

    void readSchema() {
        const std::string tables = quoted(tablesTableName);
        if (!findStream(file_, tablesTableName, true))
            throw FormatError("the database has no table " + tables);
        for (const auto& row : rowsOf(tablesTableName, systemColumns(tablesTableName))) {
            if (row[0].kind != Cell::String)
                throw FormatError("table " + tables + " lists a table without a name");
            if (!columns_.emplace(row[0].text(), systemColumns(row[0].text())).second)
                throw FormatError("table " + tables + " lists " + quoted(row[0].text()) + " twice");
            tableNames_.push_back(row[0].text());
        }
        std::map<std::u16string, std::map<int32_t, Column>> numbered;
        for (const auto& row : rowsOf(columnsTableName, systemColumns(columnsTableName))) {
            const std::u16string& table = row[0].text();
            if (row[0].kind != Cell::String || row[1].kind != Cell::Integer ||
                row[2].kind != Cell::String || row[3].kind != Cell::Integer)
                throw FormatError("table " + quoted(columnsTableName) +
                                  " has a row with a null cell" +
                                  (table.empty() ? std::string() : " for " + quoted(table)));
            if (!numbered[table]
                     .emplace(row[1].number, Column{row[2].text(), row[3].number & 0x7FFF})
                     .second)
                throw FormatError("table " + quoted(table) + " has two columns number " +
                                  std::to_string(row[1].number));
        }
        for (auto& table : numbered) {
            auto found = columns_.find(table.first);
            if (found == columns_.end() || !systemColumns(table.first).empty())
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
    StringPool pool_;
    CellDecoder decoder_;
    std::vector<std::u16string> tableNames_;
    std::map<std::u16string, std::vector<Column>> columns_;
};

} // namespace

FileKind fileKind(const compound_file::Reader& file) {
    // {000C10xx-0000-0000-C000-000000000046} as stored.
    static const uint8_t rest[15] = {0x10, 0x0C, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    const uint8_t* id = file.rootClass().bytes;
    if (std::memcmp(id + 1, rest, sizeof rest) != 0)
        return FileKind::Other;
    static const std::pair<uint8_t, FileKind> kinds[] = {
        {0x84, FileKind::Package}, {0x82, FileKind::Transform}, {0x86, FileKind::Patch}};
    for (const auto& kind : kinds)
        if (kind.first == id[0])
            return kind.second;
    return FileKind::Other;
}

Database readDatabase(const compound_file::Reader& file) {
    DatabaseReader reader(file);
    Database database;
    database.codePage = reader.codePage();
    // Streams named after a table with binary columns are its cells.
    std::vector<std::u16string> cellPrefixes;
    for (const std::u16string& name : reader.tableNames()) {
        database.tables.push_back(reader.table(name, true));
        const std::vector<Column>& columns = database.tables.back().columns;
        if (std::any_of(columns.begin(), columns.end(),
                        [](const Column& column) { return isBinaryType(column.type); }))
            cellPrefixes.push_back(name + u".");
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
        if (std::none_of(cellPrefixes.begin(), cellPrefixes.end(),
                         [&name](const std::u16string& prefix) {
                             return name.compare(0, prefix.size(), prefix) == 0;
                         }))
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
    if (const Table* table = findTable(database, u"Property"))
        for (const auto& row : table->rows)
            if (row.size() > 1 && row[0].text() == name)
                return row[1].text();
    return std::u16string();
}

const Table* findTable(const Database& database, const std::u16string& name) {
    for (const Table& table : database.tables)
        if (table.name == name)
            return &table;
    return nullptr;
}

Table* findTable(Database& database, const std::u16string& name) {
    return const_cast<Table*>(findTable(static_cast<const Database&>(database), name));
}

std::string quoted(const std::u16string& name) {
    return "`" + common::toUtf8(name) + "`";
}

} // namespace msi_database
