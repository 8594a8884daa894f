#include "setup_pack/pe_image.h"

namespace {

uint32_t read16(const unsigned char* data, size_t offset) {
    return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8;
}

uint32_t read32(const unsigned char* data, size_t offset) {
    return read16(data, offset) | read16(data, offset + 2) << 16;
}

} // namespace

bool readPeLayout(const unsigned char* data, size_t size, PeLayout& layout) {
    if (size < 0x40 || data[0] != 'M' || data[1] != 'Z')
        return false;
    size_t pe = read32(data, 0x3C);
    const size_t fileHeader = 4, fileHeaderSize = 20;
    if (pe > size || size - pe < fileHeader + fileHeaderSize + 2)
        return false;
    if (data[pe] != 'P' || data[pe + 1] != 'E' || data[pe + 2] != 0 || data[pe + 3] != 0)
        return false;
    size_t optional = pe + fileHeader + fileHeaderSize;
    size_t optionalSize = read16(data, pe + fileHeader + 16);
    uint32_t magic = read16(data, optional);
    // Where NumberOfRvaAndSizes and the data directories start.
    size_t directoryCount = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
    if (directoryCount == 0 || optionalSize < directoryCount + 4 || size - optional < optionalSize)
        return false;
    layout.checksumOffset = optional + 64;
    layout.certificateOffset = 0;
    layout.certificateSize = 0;
    const uint32_t securityEntry = 4;
    uint32_t directories = read32(data, optional + directoryCount);
    size_t entry = optional + directoryCount + 4 + 8 * securityEntry;
    if (directories > securityEntry && entry + 8 <= optional + optionalSize) {
        layout.certificateOffset = read32(data, entry);
        layout.certificateSize = read32(data, entry + 4);
    }
    return true;
}

uint32_t peChecksum(const unsigned char* data, size_t size, size_t checksumOffset) {
    // The field counts as zero, wherever it lies (a crafted file may put it
    // at an odd offset, across two words).
    auto byte = [&](size_t i) -> uint32_t { return i - checksumOffset < 4 ? 0 : data[i]; };
    uint32_t sum = 0;
    for (size_t i = 0; i < size; i += 2) {
        sum += byte(i) | (i + 1 < size ? byte(i + 1) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = ((sum & 0xFFFF) + (sum >> 16)) & 0xFFFF;
    return sum + static_cast<uint32_t>(size);
}
