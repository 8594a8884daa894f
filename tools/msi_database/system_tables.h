#pragma once
// The streams every database and transform has besides its tables, and the
// two tables that describe the others, whose own columns are fixed.
#include <string>
#include <vector>

#include "msi_database/cells.h"

namespace msi_database {

// Table streams (packed with the table prefix).
extern const char16_t poolStreamName[];     // the pool's entries
extern const char16_t poolDataStreamName[]; // its strings' bytes
extern const char16_t tablesTableName[];    // one row per table
extern const char16_t columnsTableName[];   // one row per column of the others
// The embedded files and storages, as tables of the database.
extern const char16_t streamsTableName[];
extern const char16_t storagesTableName[];

// Property sets (not packed).
extern const char16_t summaryStreamName[];
// What a signature covers is hashed from every stream and storage.
extern const char16_t* const signatureStreamNames[2];

// The columns of `_Tables` and `_Columns`; empty for any other table.
const std::vector<Column>& systemColumns(const std::u16string& table);

// The pool and the two tables above: the streams that hold no rows of a
// table of the database.
bool isSystemStream(const std::u16string& name);

} // namespace msi_database
