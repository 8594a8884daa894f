// Transforms between two databases drawn from the input: every transform
// the diff does not refuse must apply onto the base as exactly the
// localized database; the same streams damaged by the rest of the input
// must apply or be refused, without a fault.
#include <cstdint>
#include <string>

#include "../transform/transform_reader.h"
#include "compound_file/compound_file.h"
#include "fuzz_check.h"
#include "msi_database/code_page.h"
#include "msi_transform/apply.h"
#include "msi_transform/transform_streams.h"

namespace {

using namespace msi_transform;
using namespace msi_database;
using common::Bytes;

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
        std::u16string text(1 + choice % 3, static_cast<char16_t>(u'a' + in.next() % 4));
        if (choice & 0x80)
            text += static_cast<char16_t>(0xE0 + in.next() % 0x140); // past Latin-1 too
        cell.setText(std::move(text));
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
        streams = transformStreams(diffDatabases(base, localized), 1252,
                                   [](const std::u16string& text, std::string& bytes) {
                                       return msi_database::encodeText(1252, text, bytes);
                                   });
    } catch (const Refusal& refusal) {
        // Only the code page can refuse these tables.
        FUZZ_CHECK(std::string(refusal.what()).find("cannot hold") != std::string::npos);
        return 0;
    }
    Database applied = base;
    applyTransform(streams, applied);
    FUZZ_CHECK(transform_reader::sameDatabase(applied, localized));

    // The rest of the input damages the streams, which then travel in a
    // compound file as checkTransform reads them: applying either succeeds
    // or refuses, never more.
    if (!in.more())
        return 0;
    while (in.more()) {
        Stream& stream = streams[in.next() % streams.size()];
        size_t at = in.next();
        at |= static_cast<size_t>(in.next()) << 8;
        if (stream.bytes.empty() || in.next() % 4 == 0)
            stream.bytes.resize(at % (stream.bytes.size() + 8));
        else
            stream.bytes[at % stream.bytes.size()] ^= in.next() | 1;
    }
    std::vector<compound_file::StreamData> damagedStreams;
    for (const Stream& stream : streams)
        damagedStreams.push_back({stream.name, stream.bytes});
    Bytes file = compound_file::write(
        compound_file::Guid::parse("{000C1082-0000-0000-C000-000000000046}"), damagedStreams);
    Database damaged = base;
    try {
        applyTransform(rootStreams(compound_file::Reader(file)), damaged);
    } catch (const common::FormatError&) {
    }
    return 0;
}
