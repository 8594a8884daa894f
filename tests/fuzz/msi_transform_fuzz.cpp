// Transforms between two databases drawn from the input: every transform
// the diff does not refuse must read back (transform_reader.h) onto the base
// as exactly the localized database.
#include <cstdint>
#include <string>

#include "../unit/transform_reader.h"
#include "fuzz_check.h"
#include "msi_transform/diff.h"

namespace {

using namespace msi_transform;

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
    bool more() const { return at < size; }
};

const int keyText = typeKey | typeString | 0x0400 | typeValid | 72;
const int nullableText = typeString | 0x0400 | typeValid | typeNullable;
const int short2 = 0x0400 | typeValid | 2 | typeNullable;
const int long4 = typeValid | 4 | typeNullable;
const int binary = typeString | typeValid | typeNullable;

Cell drawCell(Input& in, int type, bool key) {
    Cell cell;
    uint8_t choice = in.next();
    if (!key && choice % 4 == 0)
        return cell; // null
    if (isBinaryType(type)) {
        cell.kind = Cell::Binary;
        cell.data.assign(choice % 5, static_cast<uint8_t>(in.next()));
    } else if (type & typeString) {
        cell.kind = Cell::String;
        cell.text = std::u16string(1 + choice % 3, static_cast<char16_t>(u'a' + in.next() % 4));
        if (choice & 0x80)
            cell.text += static_cast<char16_t>(0xE0 + in.next() % 0x140); // past Latin-1 too
    } else {
        cell.kind = Cell::Integer;
        int32_t value = static_cast<int32_t>(in.next() | (in.next() << 8) | (in.next() << 16) |
                                             (static_cast<uint32_t>(in.next()) << 24));
        cell.number = integerBytes(type) == 2 ? static_cast<int16_t>(value) : value;
        // The lowest value of each width is the database's null: no table
        // read through msi.dll holds it.
        if (cell.number == static_cast<int32_t>(0x80000000u) ||
            (integerBytes(type) == 2 && cell.number == -32768))
            cell.number = 0;
    }
    return cell;
}

Table drawTable(Input& in, const std::u16string& name, const std::vector<Column>& columns) {
    Table table{name, columns, {}};
    size_t rows = in.next() % 6;
    for (size_t r = 0; r < rows; ++r) {
        std::vector<Cell> row;
        for (const Column& column : columns)
            row.push_back(drawCell(in, column.type, column.type & typeKey));
        bool duplicate = false;
        for (const auto& other : table.rows)
            duplicate = duplicate || other[0] == row[0];
        if (!duplicate)
            table.rows.push_back(row);
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const std::vector<Column> columns = {{u"Key", keyText},
                                         {u"Small", short2},
                                         {u"Large", long4},
                                         {u"Note", nullableText},
                                         {u"Data", binary}};
    Database base, localized;
    base.tables.push_back(drawTable(in, u"Things", columns));
    localized.tables.push_back(drawTable(in, u"Things", columns));
    if (in.next() & 1)
        localized.tables.push_back(drawTable(in, u"NewTable", columns));

    std::vector<Stream> streams;
    try {
        streams = transformStreams(diffDatabases(base, localized), 1252, transform_reader::latin1);
    } catch (const Refusal& refusal) {
        // Only the code page can refuse these tables.
        FUZZ_CHECK(std::string(refusal.what()).find("cannot hold") != std::string::npos);
        return 0;
    }
    Database applied;
    transform_reader::Pool pool;
    FUZZ_CHECK(transform_reader::apply(base, streams, applied, pool));
    FUZZ_CHECK(transform_reader::sameDatabase(applied, localized));
    return 0;
}
