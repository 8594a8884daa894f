#include "msi_database/system_tables.h"

namespace msi_database {

const char16_t poolStreamName[] = u"_StringPool";
const char16_t poolDataStreamName[] = u"_StringData";
const char16_t tablesTableName[] = u"_Tables";
const char16_t columnsTableName[] = u"_Columns";
const char16_t streamsTableName[] = u"_Streams";
const char16_t storagesTableName[] = u"_Storages";
const char16_t summaryStreamName[] = u"\x0005SummaryInformation";
const char16_t* const signatureStreamNames[2] = {u"\x0005"
                                                 u"DigitalSignature",
                                                 u"\x0005MsiDigitalSignatureEx"};

const std::vector<Column>& systemColumns(const std::u16string& table) {
    static const int nameKey = typeKey | typeString | 0x0400 | typeValid | 64;
    static const int name = typeString | 0x0400 | typeValid | 64;
    static const int shortKey = typeKey | 0x0400 | typeValid | 2;
    static const int shortInteger = 0x0400 | typeValid | 2;
    static const std::vector<Column> none;
    static const std::vector<Column> tables = {{u"Name", nameKey}};
    static const std::vector<Column> columns = {
        {u"Table", nameKey}, {u"Number", shortKey}, {u"Name", name}, {u"Type", shortInteger}};
    return table == tablesTableName ? tables : table == columnsTableName ? columns : none;
}

bool isSystemStream(const std::u16string& name) {
    return name == poolStreamName || name == poolDataStreamName || name == tablesTableName ||
           name == columnsTableName;
}

} // namespace msi_database
