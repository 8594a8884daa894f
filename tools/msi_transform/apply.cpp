#include "msi_transform/apply.h"

#include <algorithm>
#include <map>
#include <optional>

#include "compound_file/compound_file.h"
#include "msi_database/stream_name.h"
#include "msi_database/string_pool.h"
#include "msi_database/system_tables.h"

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

using common::Bytes;
using msi_database::CellDecoder;
using msi_database::quoted;
using msi_database::typeKey;

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
    // A row of a few bytes has a cell for every column: the rows are
    // counted first, so that the decoder refuses too many cells before any
    // is made.
    RowReader(const Bytes& bytes, const Table& table, CellDecoder& decoder)
        : bytes_(bytes), table_(table), decoder_(decoder) {
        while (!done()) {
            next(false);
            decoder_.reserve(table_.columns.size(), table_.name);
        }
        at_ = 0;
    }

    bool done() const { return at_ == bytes_.size(); }

    // The next row; without `decode`, its cells are passed over.
    Row next(bool decode = true) {
        const std::vector<Column>& columns = table_.columns;
        Row row;
        row.mask = static_cast<uint16_t>(take(2));
        if (decode)
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
            row.present[i] = row.insert() ? i < inserted : key || (i < 16 && (row.mask >> i & 1));
            if (row.present[i]) {
                uint32_t raw = take(msi_database::cellBytes(columns[i].type, decoder_.refBytes()));
                if (decode)
                    row.cells[i] = decoder_.decode(columns[i].type, raw, table_.name);
            } else if (key)
                throw FormatError("an insert into table " + quoted(table_.name) +
                                  " lacks key column " + quoted(columns[i].name));
        }
        return row;
    }

  private:
    uint32_t take(int count) {
        if (bytes_.size() - at_ < static_cast<size_t>(count))
            throw FormatError("the stream of table " + quoted(table_.name) + " ends inside a row");
        at_ += static_cast<size_t>(count);
        return msi_database::readCellValue(&bytes_[at_ - static_cast<size_t>(count)], count);
    }

    const Bytes& bytes_;
    const Table& table_;
    CellDecoder& decoder_;
    size_t at_ = 0;
};

class Applier {
  public:
    Applier(const std::vector<Stream>& streams, Database& database) : database_(database) {
        for (const Stream& stream : streams)
            streams_[stream.name] = &stream.bytes;
    }

    void run() {
        const Bytes* entries = stream(msi_database::poolStreamName, true);
        const Bytes* data = stream(msi_database::poolDataStreamName, true);
        if (!entries || !data)
            throw FormatError("the transform has no string pool");
        pool_.emplace(*entries, *data);
        // Every string must be text of the pool's code page, referred to or not.
        for (uint32_t id = 1; id < pool_->size(); ++id)
            pool_->text(id);
        decoder_.emplace(*pool_);
        uint32_t codePage = pool_->codePage();
        if (codePage && database_.codePage && codePage != database_.codePage)
            throw FormatError("the transform changes the code page from " +
                              std::to_string(database_.codePage) + " to " +
                              std::to_string(codePage));
        if (const Bytes* tables = stream(msi_database::tablesTableName, true))
            changeTables(*tables);
        if (const Bytes* columns = stream(msi_database::columnsTableName, true))
            addColumns(*columns);
        finishAddedTables();
        for (const auto& entry : streams_) {
            bool table = false;
            std::u16string name = msi_database::unpackStreamName(entry.first, &table);
            if (!table || msi_database::isSystemStream(name))
                continue;
            // Embedded files (a cabinet, a nested storage) are the file's own
            // streams and storages, not rows of a table: the Windows Installer
            // applies such changes, and so they pass unchecked here.
            if (name == msi_database::streamsTableName || name == msi_database::storagesTableName)
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
        if (!msi_database::packStreamName(name, table, packed))
            return nullptr;
        auto found = streams_.find(packed);
        return found == streams_.end() ? nullptr : found->second;
    }

    Table* findTable(const std::u16string& name) {
        return msi_database::findTable(database_, name);
    }

    Table systemTable(const char16_t* name) const {
        return {name, msi_database::systemColumns(name), {}};
    }

    void changeTables(const Bytes& bytes) {
        const Table tables = systemTable(msi_database::tablesTableName);
        RowReader reader(bytes, tables, *decoder_);
        while (!reader.done()) {
            Row row = reader.next();
            const std::u16string& name = row.cells[0].text();
            if (row.cells[0].kind != Cell::String)
                throw FormatError("a row of " + quoted(tables.name) + " names no table");
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
                throw FormatError("the transform updates a row of " + quoted(tables.name));
            }
        }
    }

    // Columns come only with the tables the transform adds.
    void addColumns(const Bytes& bytes) {
        const Table columns = systemTable(msi_database::columnsTableName);
        RowReader reader(bytes, columns, *decoder_);
        while (!reader.done()) {
            Row row = reader.next();
            const std::u16string &table = row.cells[0].text(), &name = row.cells[2].text();
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
        RowReader reader(bytes, table, *decoder_);
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
    std::optional<msi_database::StringPool> pool_;
    std::optional<CellDecoder> decoder_;
    // The tables the transform adds, with their columns by number.
    std::map<std::u16string, std::vector<std::pair<int32_t, Column>>> added_;
};

} // namespace

void applyTransform(const std::vector<Stream>& streams, Database& database) {
    Applier(streams, database).run();
}

} // namespace msi_transform
