#pragma once
// Reading a transform and applying it to a database in memory, as the
// Windows Installer applies one with no error condition suppressed: every
// change must meet the base as the transform expects it. No system call.
#include <vector>

#include "common/format_error.h"
#include "msi_transform/transform_streams.h"

namespace compound_file {
class Reader;
}

namespace msi_transform {

// The streams of a compound file's root storage, names as stored (packed).
// Throws common::FormatError for a broken stream.
std::vector<Stream> rootStreams(const compound_file::Reader& file);

// Applies the transform whose root streams are `streams` to `database`:
// the string pool, tables added or dropped by the tables' table, the
// columns of added tables from the columns' table, then each table
// stream's inserts, updates
// and deletes, with binary cells from their own streams. The summary is
// not read: no validation, no error suppressed.
//
// Throws common::FormatError naming what does not apply: no string pool, a
// pool code page other than the database's (both not neutral), a string id
// past the pool, a truncated row, an insert of an existing row or table, an
// update or delete of a missing row, a drop of a missing table, a column
// for an existing table, a table stream for a table that neither exists nor
// is added, a binary cell without its stream, more cells than any database
// holds (msi_database::maxCells). `database` is left partly
// changed then.
void applyTransform(const std::vector<Stream>& streams, Database& database);

} // namespace msi_transform
