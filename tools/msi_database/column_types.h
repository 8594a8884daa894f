#pragma once
// The column type word of `_Columns`, shared by databases and transforms:
// which cells are pool strings, binary streams or integers, and how many
// bytes a cell takes in a table stream.
namespace msi_database {

enum : int {
    typeValid = 0x0100,
    typeLocalizable = 0x0200,
    typeString = 0x0800,
    typeNullable = 0x1000,
    typeKey = 0x2000,
};

// A binary cell: 2 bytes in the row, its data in a stream of its own.
inline bool isBinaryType(int type) {
    return (type & ~typeNullable) == (typeString | typeValid);
}
// A pool reference (not binary).
inline bool isStringType(int type) {
    return (type & typeString) != 0 && !isBinaryType(type);
}
// 2 or 4 for integer columns.
inline int integerBytes(int type) {
    return (type & 0xFF) <= 2 ? 2 : 4;
}

} // namespace msi_database
