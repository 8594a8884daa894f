#pragma once
// The cells of table streams, in databases and transforms alike: integers
// of 2 bytes offset by 0x8000 or of 4 bytes with the sign bit flipped,
// strings as pool ids of 2 or 3 bytes, binary cells as a 2-byte marker
// (their data is a stream of its own); 0 is null in every column.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "msi_database/column_types.h"

namespace msi_database {

class StringPool;

struct Cell {
    enum Kind { Null, Integer, String, Binary } kind = Null;
    int32_t number = 0;
    common::Bytes data; // Binary
    // String: the string, never empty (an empty string is Null); empty for
    // the other kinds.
    const std::u16string& text() const;
    // Makes the cell String `text`, or Null when it is empty.
    void setText(std::u16string text);
    // String: held with the pool it was read from, so a string that many
    // cells refer to is held once.
    std::shared_ptr<const std::u16string> shared;
    bool operator==(const Cell& other) const {
        return kind == other.kind && number == other.number && text() == other.text() &&
               data == other.data;
    }
};

struct Column {
    std::u16string name;
    int type = 0; // the type word of `_Columns`, without its 0x8000 storage offset
};

struct Table {
    std::u16string name;
    std::vector<Column> columns; // in column order
    std::vector<std::vector<Cell>> rows;
};

// The bytes a cell of a column of `type` takes.
int cellBytes(int type, int refBytes);

// The value of `bytes` (2, 3 or 4) little-endian bytes.
uint32_t readCellValue(const uint8_t* at, int bytes);

// A cell takes some 50 bytes, from as few as 2 bytes of a database's table
// stream, and a transform's row of 4 bytes gives a cell for every column.
// One decoder refuses more cells than this; no real database comes near it.
constexpr size_t maxCells = size_t(1) << 24;

// Turns the values of a table stream into cells, strings from one pool.
class CellDecoder {
  public:
    explicit CellDecoder(StringPool& pool) : pool_(pool) {}
    int refBytes() const;
    // Counts `count` more cells of `table`; throws FormatError past maxCells.
    void reserve(size_t count, const std::u16string& table);
    // The cell of a column of `type` whose value is `raw`, sharing its
    // string with the pool. Throws FormatError naming `table` for a string
    // id past the pool.
    Cell decode(int type, uint32_t raw, const std::u16string& table);

  private:
    StringPool& pool_;
    size_t cells_ = 0;
};

// A cell as written: strings already pool ids.
struct Field {
    enum Kind { Null, Integer, String, Binary } kind = Null;
    int32_t number = 0;    // Integer
    uint32_t stringId = 0; // String: pool id
};

// Appends a field of a column of `type`, string ids in `refBytes` bytes,
// binary cells as 1 (set) or 0.
void appendField(common::Bytes& out, int type, const Field& field, int refBytes);

// A cell as the text of a key: integers in decimal, null and binary empty.
std::u16string cellText(const Cell& cell);

} // namespace msi_database
