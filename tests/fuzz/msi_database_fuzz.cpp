// The installer database reader on any input: read as a whole compound
// file, or as streams that replace those of a small valid database one by
// one (written with compound_file::write), so that the fuzzer reaches the
// pool, schema and table decoders at once; and the summary reader. Broken
// input must end in FormatError; what reads must read the same again.
#include <algorithm>
#include <cstdint>
#include <string>

#include "compound_file/compound_file.h"
#include "fuzz_check.h"
#include "msi_database/database.h"
#include "msi_database/stream_name.h"
#include "msi_database/summary.h"

namespace {

using namespace msi_database;

void put16(common::Bytes& out, uint32_t value) {
    common::appendLe16(out, static_cast<uint16_t>(value));
}

compound_file::StreamData tableStream(const std::u16string& name, const common::Bytes& bytes) {
    compound_file::StreamData stream{u"", bytes};
    packStreamName(name, true, stream.name);
    return stream;
}

// Property and Binary with a row each, and the binary cell's stream.
std::vector<compound_file::StreamData> validStreams() {
    const char* strings[] = {"Property", "Value",       "Binary", "Name",
                             "Data",     "ProductCode", "{1234}", "Logo"};
    common::Bytes pool, data, tables, columns, property, binary;
    common::appendLe32(pool, 1252);
    for (const char* text : strings) {
        put16(pool, static_cast<uint32_t>(std::string(text).size()));
        put16(pool, 1);
        data.insert(data.end(), text, text + std::string(text).size());
    }
    for (uint32_t id : {1, 3})
        put16(tables, id);
    // Column by column: table, number, name, type.
    for (uint32_t value :
         {1, 1, 3, 3, 0x8001, 0x8002, 0x8001, 0x8002, 1, 2, 4, 5, 0xAD48, 0x8F00, 0xAD48, 0x9900})
        put16(columns, value);
    for (uint32_t value : {6, 7})
        put16(property, value);
    for (uint32_t value : {8, 1})
        put16(binary, value);
    std::vector<compound_file::StreamData> streams = {
        tableStream(u"_StringPool", pool),  tableStream(u"_StringData", data),
        tableStream(u"_Tables", tables),    tableStream(u"_Columns", columns),
        tableStream(u"Property", property), tableStream(u"Binary", binary),
    };
    compound_file::StreamData cell{u"", {'l', 'o', 'g', 'o'}};
    packStreamName(u"Binary.Logo", false, cell.name);
    streams.push_back(cell);
    return streams;
}

void readAll(common::ByteView bytes) {
    try {
        compound_file::Reader file(bytes);
        fileKind(file);
        Database database = readDatabase(file);
        // The few tables packing reads are the same, without stream data.
        std::vector<std::u16string> names;
        for (const Table& table : database.tables)
            names.push_back(table.name);
        Database few = readTables(file, names);
        FUZZ_CHECK(few.tables.size() == database.tables.size());
        FUZZ_CHECK(few.codePage == database.codePage);
        for (size_t t = 0; t < few.tables.size(); ++t) {
            Table& table = database.tables[t];
            for (auto& row : table.rows)
                for (Cell& cell : row)
                    cell.data.clear();
            FUZZ_CHECK(few.tables[t].name == table.name);
            FUZZ_CHECK(few.tables[t].rows == table.rows);
        }
    } catch (const common::FormatError&) {
    }
}

void readSummaryTwice(common::ByteView bytes) {
    common::Bytes written;
    try {
        written = summaryStream(readSummary(bytes));
    } catch (const common::FormatError&) {
        return;
    }
    FUZZ_CHECK(summaryStream(readSummary(written)) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    common::ByteView rest(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        readAll(rest);
        break;
    case 1: {
        // Records of a stream number, a 16-bit length and the stream's bytes.
        static const std::vector<compound_file::StreamData> valid = validStreams();
        std::vector<compound_file::StreamData> streams = valid;
        for (size_t at = 0; at + 3 <= rest.size;) {
            size_t index = rest.data[at] % streams.size();
            size_t length = common::readLe16(rest.data + at + 1);
            at += 3;
            length = std::min(length, rest.size - at);
            streams[index].bytes.assign(rest.data + at, rest.data + at + length);
            at += length;
        }
        common::Bytes file = compound_file::write(compound_file::Guid(), streams);
        readAll(file);
        break;
    }
    default:
        readSummaryTwice(rest);
    }
    return 0;
}
