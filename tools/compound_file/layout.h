#pragma once
// Numbers of the compound-file layout shared by the reader and the writer,
// and the helpers both use with them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace compound_file {
namespace layout {

const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const size_t kHeaderSize = 512;
const size_t kEntrySize = 128;
const size_t kHeaderDifatEntries = 109;
const uint32_t kMiniSectorSize = 64;
const uint32_t kMiniStreamCutoff = 4096;

// Sector numbers that are not sectors.
const uint32_t kMaxRegularSector = 0xFFFFFFFA;
const uint32_t kDifatSector = 0xFFFFFFFC;
const uint32_t kFatSector = 0xFFFFFFFD;
const uint32_t kEndOfChain = 0xFFFFFFFE;
const uint32_t kFreeSector = 0xFFFFFFFF;
const uint32_t kNoStream = 0xFFFFFFFF;

// Header fields.
const size_t kMajorVersion = 0x1A, kByteOrder = 0x1C, kSectorShift = 0x1E, kMiniSectorShift = 0x20,
             kDirectorySectors = 0x28, kFatSectors = 0x2C, kFirstDirectorySector = 0x30,
             kCutoff = 0x38, kFirstMiniFatSector = 0x3C, kMiniFatSectors = 0x40,
             kFirstDifatSector = 0x44, kDifatSectors = 0x48, kHeaderDifat = 0x4C;

// Directory entry fields.
const size_t kNameLength = 0x40, kType = 0x42, kColor = 0x43, kLeft = 0x44, kRight = 0x48,
             kChild = 0x4C, kClsid = 0x50, kStart = 0x74, kSize = 0x78;

// How many units of `unit` bytes hold `size` bytes.
inline uint64_t divideUp(uint64_t size, uint64_t unit) {
    return (size + unit - 1) / unit;
}

// A name for messages: ASCII as is, other units as \uXXXX.
std::string printable(const std::u16string& name);

} // namespace layout
} // namespace compound_file
