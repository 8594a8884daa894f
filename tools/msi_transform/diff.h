#pragma once
// The difference between a base installer database and a localized one of
// the same product, row by row, and the reasons a
// language transform cannot be made. No system call: the databases come in
// already read (see generate.h), the transform is written by
// transform_streams.h.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "msi_database/database.h"

namespace msi_transform {

using msi_database::Cell;
using msi_database::Column;
using msi_database::Database;
using msi_database::Table;

// Why no transform can be made; the text is UTF-8 and names the table,
// column or property.
class Refusal : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct RowChange {
    enum Op { Insert, Update, Delete } op = Insert;
    std::vector<Cell> cells; // Insert: all; Update: all (of the localized row); Delete: all
    uint16_t mask = 0;       // Update: bit i = column i+1 changed
};

struct TableChange {
    const Table* table = nullptr; // the localized table
    bool added = false;           // not in the base
    std::vector<RowChange> rows;
};

// The changes from `base` to `localized`, table by table in the localized
// order; unchanged tables are left out. Throws Refusal for another
// ProductCode or UpgradeCode (compared without regard to case, as the
// Windows Installer compares GUIDs) or ProductVersion, a dropped table or
// column, an added column of an existing table, a changed column type, a
// first column that is no key, an update past column 16, a table or binary
// cell whose stream name does not fit, and changed streams or storages.
std::vector<TableChange> diffDatabases(const Database& base, const Database& localized);

// True when a string of the changes holds a character outside ASCII, so the
// pool needs a code page.
bool needsCodePage(const std::vector<TableChange>& changes);

// The key columns' values of a row as one text: equal for rows of one key.
std::u16string rowKey(const Table& table, const std::vector<Cell>& row);

} // namespace msi_transform
