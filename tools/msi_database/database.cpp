#include "msi_database/database.h"

namespace msi_database {

std::u16string property(const Database& database, const std::u16string& name) {
    for (const Table& table : database.tables)
        if (table.name == u"Property")
            for (const auto& row : table.rows)
                if (row.size() > 1 && row[0].text == name)
                    return row[1].text;
    return std::u16string();
}

} // namespace msi_database
