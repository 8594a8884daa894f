#pragma once
// The streams every database and transform has besides its tables, and the
// two tables that describe the others, whose own columns are fixed.
#include <string>
#include <vector>

#include "msi_database/cells.h"

namespace msi_database {

// Table streams (packed with the table prefix): the pool's entries and its
// strings' bytes, one row per table, one row per column of the others.
inline constexpr char16_t poolStreamName[] = u"_StringPool";
inline constexpr char16_t poolDataStreamName[] = u"_StringData";
inline constexpr char16_t tablesTableName[] = u"_Tables";
inline constexpr char16_t columnsTableName[] = u"_Columns";
// The embedded files and storages, as tables of the database.
inline constexpr char16_t streamsTableName[] = u"_Streams";
inline constexpr char16_t storagesTableName[] = u"_Storages";

// Property sets (not packed). What a signature covers is hashed from every
// stream and storage.
inline constexpr char16_t summaryStreamName[] = u"\x0005SummaryInformation";
inline constexpr const char16_t* signatureStreamNames[] = {u"\x0005"
                                                           u"DigitalSignature",
                                                           u"\x0005MsiDigitalSignatureEx"};

// The columns of the tables' and the columns' tables; empty for any other.
inline const std::vector<Column>& systemColumns(const std::u16string& table) {
    static const int nameKey = typeKey | typeString | 0x0400 | typeValid | 64;
    static const int name = typeString | 0x0400 | typeValid | 64;
    static const int shortKey = typeKey | 0x0400 | typeValid | 2;
    static const int shortInteger = 0x0400 | typeValid | 2;
    static const std::vector<Column> none, tables = {{u"Name", nameKey}};
    static const std::vector<Column> columns = {
        {u"Table", nameKey}, {u"Number", shortKey}, {u"Name", name}, {u"Type", shortInteger}};
    return table == tablesTableName ? tables : table == columnsTableName ? columns : none;
}

// The pool and the two tables above: the streams that hold no rows of a
// table of the database.
inline bool isSystemStream(const std::u16string& name) {
    return name == poolStreamName || name == poolDataStreamName || name == tablesTableName ||
           name == columnsTableName;
}

} // namespace msi_database
