#pragma once
// An installer database (.msi) read from the bytes of its compound file,
// without any system call: every table with its columns and rows, the
// streams and storages. Strings come out as UTF-16, decoded from the code
// page of the database's string pool.
//
// Every failure is a common::FormatError whose text says what is broken.
// Reading never allocates much more than the file's own size justifies.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"
#include "msi_database/cells.h"

namespace compound_file {
class Reader;
}

namespace msi_database {

struct Database {
    std::vector<Table> tables; // every table of `_Tables`, in its order
    // The root's streams that are neither tables, the pool, a property set
    // (a name starting below U+0020) nor binary cells (any stream named
    // `Table.` after a table with a binary column), names unpacked; and the
    // root's storages. Both sorted by name.
    std::vector<std::pair<std::u16string, common::Bytes>> streams;
    std::vector<std::u16string> storages;
    uint32_t codePage = 0; // the string pool's; 0 = neutral
};

// What a compound file is by its root class id
// {000C10xx-0000-0000-C000-000000000046}.
enum class FileKind { Package, Transform, Patch, Other };
FileKind fileKind(const compound_file::Reader& file);

// The whole database: tables with rows, binary cells with their data, the
// other streams with their contents and the storages' names. Tables listed
// in `_Tables` without a stream have no rows; `_Tables` and `_Columns`,
// when listed, have their fixed columns. Throws FormatError for a
// broken database (no pool, a string id past the pool, a table stream
// whose size is no multiple of its row width, gaps in the column numbers,
// binary cells without their stream...).
Database readDatabase(const compound_file::Reader& file);

// Only the named tables (with their columns and rows), in the order of
// `names`; names that are no table are left out. Binary cells are marked
// but their data is not read, nor are streams or storages: this reads a
// few tables of a package of any size quickly.
Database readTables(const compound_file::Reader& file, const std::vector<std::u16string>& names);

// The name of a binary cell's stream, unpacked: `Table.Key1.Key2...`, the
// key columns' values as text (integers in decimal).
std::u16string binaryStreamName(const Table& table, const std::vector<Cell>& row);

// The value of a row of the `Property` table; empty when none.
std::u16string property(const Database& database, const std::u16string& name);

// The table of that name; null when none.
const Table* findTable(const Database& database, const std::u16string& name);
Table* findTable(Database& database, const std::u16string& name);

// A table, column or stream name for messages: `name`, in UTF-8.
std::string quoted(const std::u16string& name);

} // namespace msi_database
