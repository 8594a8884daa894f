#pragma once
// What the tests read of a transform's streams besides applying them
// (msi_transform/apply.h): the stream of a name, the pool's strings and
// reference counts (as Latin-1, the tests' code page), and whether two
// databases hold the same tables and rows.
#include <algorithm>
#include <map>

#include "msi_database/stream_name.h"
#include "msi_transform/transform_streams.h"

namespace transform_reader {

using namespace msi_transform;
using common::Bytes;
using msi_database::packStreamName;

inline const Bytes* findStream(const std::vector<Stream>& streams, const std::u16string& name,
                               bool table) {
    std::u16string packed;
    packStreamName(name, table, packed);
    for (const Stream& stream : streams)
        if (stream.name == packed)
            return &stream.bytes;
    return nullptr;
}

struct Cursor {
    const Bytes& bytes;
    size_t at = 0;
    bool ok = true;
    uint32_t take(int count) {
        uint32_t value = 0;
        if (at + count > bytes.size()) {
            ok = false;
            return 0;
        }
        for (int i = 0; i < count; ++i)
            value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
        at += count;
        return value;
    }
};

struct Pool {
    std::vector<std::u16string> strings{u""}; // by id
    std::vector<uint32_t> counts{0};
    int refBytes = 2;
    uint32_t codePage = 0;
};

inline bool readPool(const std::vector<Stream>& streams, Pool& pool) {
    const Bytes* entries = findStream(streams, u"_StringPool", true);
    const Bytes* data = findStream(streams, u"_StringData", true);
    if (!entries || !data || entries->size() % 4)
        return false;
    Cursor in{*entries};
    uint32_t header = in.take(4);
    pool.codePage = header & 0x7FFFFFFF;
    pool.refBytes = header & 0x80000000u ? 3 : 2;
    size_t offset = 0;
    while (in.at < entries->size()) {
        uint32_t length = in.take(2), count = in.take(2);
        if (length == 0 && count != 0) {
            length = in.take(2);
            length |= in.take(2) << 16;
        }
        if (!in.ok || offset + length > data->size())
            return false;
        pool.strings.emplace_back(data->begin() + offset, data->begin() + offset + length);
        pool.counts.push_back(count & 0x7FFF);
        offset += length;
    }
    return offset == data->size();
}

// The same database, rows in any order.
inline bool sameDatabase(Database a, Database b) {
    auto sortRows = [](Database& database) {
        for (Table& table : database.tables)
            std::sort(table.rows.begin(), table.rows.end(),
                      [](const std::vector<Cell>& x, const std::vector<Cell>& y) {
                          for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
                              if (x[i].kind != y[i].kind)
                                  return x[i].kind < y[i].kind;
                              if (x[i].number != y[i].number)
                                  return x[i].number < y[i].number;
                              if (x[i].text() != y[i].text())
                                  return x[i].text() < y[i].text();
                              if (x[i].data != y[i].data)
                                  return x[i].data < y[i].data;
                          }
                          return x.size() < y.size();
                      });
        std::sort(database.tables.begin(), database.tables.end(),
                  [](const Table& x, const Table& y) { return x.name < y.name; });
    };
    sortRows(a);
    sortRows(b);
    if (a.tables.size() != b.tables.size())
        return false;
    for (size_t i = 0; i < a.tables.size(); ++i) {
        const Table &x = a.tables[i], &y = b.tables[i];
        if (x.name != y.name || x.rows != y.rows || x.columns.size() != y.columns.size())
            return false;
        for (size_t c = 0; c < x.columns.size(); ++c)
            if (x.columns[c].name != y.columns[c].name || x.columns[c].type != y.columns[c].type)
                return false;
    }
    return true;
}

// The tests' code page: Latin-1.
inline bool latin1(const std::u16string& text, std::string& bytes) {
    bytes.clear();
    for (char16_t c : text) {
        if (c > 0xFF)
            return false;
        bytes += static_cast<char>(c);
    }
    return true;
}

} // namespace transform_reader
