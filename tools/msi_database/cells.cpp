#include "msi_database/cells.h"

#include "common/utf8.h"
#include "msi_database/database.h"
#include "msi_database/string_pool.h"

namespace msi_database {

using common::FormatError;

int cellBytes(int type, int refBytes) {
    if (isBinaryType(type))
        return 2;
    if (type & typeString)
        return refBytes;
    return integerBytes(type);
}

uint32_t readCellValue(const uint8_t* at, int bytes) {
    return bytes == 2   ? common::readLe16(at)
           : bytes == 3 ? common::readLe16(at) | static_cast<uint32_t>(at[2]) << 16
                        : common::readLe32(at);
}

int CellDecoder::refBytes() const {
    return pool_.refBytes();
}

void CellDecoder::reserve(size_t count, const std::u16string& table) {
    if (count > maxCells - cells_)
        throw FormatError("table " + quoted(table) +
                          " asks for more cells than any database holds");
    cells_ += count;
}

Cell CellDecoder::decode(int type, uint32_t raw, const std::u16string& table) {
    Cell cell;
    if (raw == 0)
        return cell; // null
    if (isBinaryType(type)) {
        cell.kind = Cell::Binary;
    } else if (type & typeString) {
        if (raw >= pool_.size())
            throw FormatError("table " + quoted(table) + " refers to string " +
                              std::to_string(raw) + ", past the pool's " +
                              std::to_string(pool_.size() - 1));
        cell.shared = pool_.shared(raw);
        if (!cell.shared->empty())
            cell.kind = Cell::String;
        else
            cell.shared.reset();
    } else {
        cell.kind = Cell::Integer;
        cell.number = integerBytes(type) == 2 ? static_cast<int32_t>(raw) - 0x8000
                                              : static_cast<int32_t>(raw ^ 0x80000000u);
    }
    return cell;
}

void appendField(common::Bytes& out, int type, const Field& field, int refBytes) {
    if (isBinaryType(type)) {
        common::appendLe16(out, field.kind == Field::Null ? 0 : 1);
    } else if (type & typeString) {
        uint32_t id = field.kind == Field::String ? field.stringId : 0;
        common::appendLe16(out, static_cast<uint16_t>(id));
        if (refBytes == 3)
            out.push_back(static_cast<uint8_t>(id >> 16));
    } else if (integerBytes(type) == 2) {
        common::appendLe16(
            out, field.kind == Field::Null
                     ? 0
                     : static_cast<uint16_t>(static_cast<uint32_t>(field.number) + 0x8000));
    } else {
        common::appendLe32(
            out, field.kind == Field::Null ? 0 : static_cast<uint32_t>(field.number) ^ 0x80000000u);
    }
}

std::u16string cellText(const Cell& cell) {
    return cell.kind == Cell::Integer ? common::toUtf16(std::to_string(cell.number)) : cell.text();
}

const std::u16string& Cell::text() const {
    static const std::u16string none;
    return kind == String && shared ? *shared : none;
}

void Cell::setText(std::u16string text) {
    kind = text.empty() ? Null : String;
    shared = text.empty() ? nullptr : std::make_shared<const std::u16string>(std::move(text));
}

} // namespace msi_database
