#pragma once
// Applies the streams of a transform to a database model by reading their
// bytes as the transform format describes them, independently of the
// writer: the unit tests and the fuzz target check that base + transform
// gives the localized database. Pool strings are read as Latin-1, the
// tests' code page.
#include <algorithm>
#include <map>

#include "msi_transform/diff.h"

namespace transform_reader {

using namespace msi_transform;

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

inline bool readField(Cursor& in, const Pool& pool, int type, Cell& cell) {
    cell = Cell();
    if (isBinaryType(type)) {
        if (in.take(2))
            cell.kind = Cell::Binary;
    } else if (type & typeString) {
        uint32_t id = in.take(pool.refBytes);
        if (id >= pool.strings.size())
            return false;
        if (id) {
            cell.kind = Cell::String;
            cell.text = pool.strings[id];
        }
    } else if (integerBytes(type) == 2) {
        uint32_t raw = in.take(2);
        if (raw) {
            cell.kind = Cell::Integer;
            cell.number = static_cast<int32_t>(raw) - 0x8000;
        }
    } else {
        uint32_t raw = in.take(4);
        if (raw) {
            cell.kind = Cell::Integer;
            cell.number = static_cast<int32_t>(raw ^ 0x80000000u);
        }
    }
    return in.ok;
}

struct Row {
    uint16_t mask;
    std::vector<Cell> cells;
    std::vector<bool> present;
};

inline bool readRows(const Bytes& bytes, const Pool& pool, const std::vector<int>& types,
                     std::vector<Row>& rows) {
    Cursor in{bytes};
    while (in.at < bytes.size()) {
        Row row;
        row.mask = static_cast<uint16_t>(in.take(2));
        row.cells.resize(types.size());
        row.present.assign(types.size(), false);
        size_t insertCount = row.mask >> 8;
        if ((row.mask & 1) && insertCount > types.size())
            return false;
        for (size_t i = 0; i < types.size(); ++i) {
            bool present = (row.mask & 1) ? i < insertCount
                                          : (types[i] & typeKey) ||
                                                (row.mask && i < 16 && (row.mask & (1u << i)));
            if (present && !readField(in, pool, types[i], row.cells[i]))
                return false;
            row.present[i] = present;
        }
        rows.push_back(std::move(row));
    }
    return in.ok;
}

inline bool sameKey(const std::vector<int>& types, const std::vector<Cell>& a,
                    const std::vector<Cell>& b) {
    for (size_t i = 0; i < types.size(); ++i)
        if ((types[i] & typeKey) && a[i] != b[i])
            return false;
    return true;
}

// Base + transform; false when the streams are malformed.
inline bool apply(const Database& base, const std::vector<Stream>& streams, Database& result,
                  Pool& pool) {
    result = base;
    if (!readPool(streams, pool))
        return false;
    const int name = typeString | typeKey, number = typeKey | 2, plain = typeString, small = 2;
    if (const Bytes* tables = findStream(streams, u"_Tables", true)) {
        std::vector<Row> rows;
        if (!readRows(*tables, pool, {name}, rows))
            return false;
        for (const Row& row : rows)
            result.tables.push_back({row.cells[0].text, {}, {}});
    }
    if (const Bytes* columns = findStream(streams, u"_Columns", true)) {
        std::vector<Row> rows;
        if (!readRows(*columns, pool, {name, number, plain, small}, rows))
            return false;
        for (const Row& row : rows)
            for (Table& table : result.tables)
                if (table.name == row.cells[0].text)
                    table.columns.push_back({row.cells[2].text, row.cells[3].number});
    }
    for (Table& table : result.tables) {
        const Bytes* bytes = findStream(streams, table.name, true);
        if (!bytes)
            continue;
        std::vector<int> types;
        for (const Column& column : table.columns)
            types.push_back(column.type);
        std::vector<Row> rows;
        if (!readRows(*bytes, pool, types, rows))
            return false;
        for (Row& row : rows) {
            for (size_t i = 0; i < types.size(); ++i)
                if (row.present[i] && row.cells[i].kind == Cell::Binary) {
                    const Bytes* data =
                        findStream(streams, binaryStreamName(table, row.cells), false);
                    if (!data)
                        return false;
                    row.cells[i].data = *data;
                }
            auto found = table.rows.begin();
            while (found != table.rows.end() && !sameKey(types, *found, row.cells))
                ++found;
            if (row.mask & 1) {
                if (found != table.rows.end())
                    return false;
                table.rows.push_back(row.cells);
            } else if (found == table.rows.end()) {
                return false;
            } else if (row.mask == 0) {
                table.rows.erase(found);
            } else {
                for (size_t i = 0; i < types.size(); ++i)
                    if (row.present[i])
                        (*found)[i] = row.cells[i];
            }
        }
    }
    return true;
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
                              if (x[i].text != y[i].text)
                                  return x[i].text < y[i].text;
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
