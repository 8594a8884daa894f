#include "pe/pe_image.h"

#include <algorithm>

namespace pe {

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
    common::ByteView whole(data, size);
    return peChecksum(&whole, 1, checksumOffset);
}

uint32_t peChecksum(const common::ByteView* parts, size_t count, size_t checksumOffset) {
    // Words are summed wide and folded once at the end: the one's complement
    // sum is the same, and a 1 GiB part takes no per-byte test.
    uint64_t sum = 0, position = 0;
    bool odd = false; // the previous part ended inside a word
    auto addByte = [&](uint8_t byte) {
        // The field counts as zero, wherever it lies (a crafted file may put
        // it at an odd offset, across two words).
        uint32_t value = position - checksumOffset < 4 ? 0 : byte;
        sum += odd ? value << 8 : value;
        odd = !odd;
        ++position;
    };
    for (size_t part = 0; part < count; ++part) {
        const uint8_t* p = parts[part].data;
        size_t left = parts[part].size;
        while (left > 0) {
            // Words run fast up to the field; byte by byte across it and to
            // reach a word boundary.
            size_t fast = left;
            if (checksumOffset >= position ? checksumOffset - position < left
                                           : position - checksumOffset < 4)
                fast =
                    checksumOffset > position ? static_cast<size_t>(checksumOffset - position) : 0;
            if (odd || fast < 2) {
                addByte(*p++);
                --left;
                continue;
            }
            size_t words = fast / 2;
            uint64_t run = 0;
            for (size_t i = 0; i < words; ++i)
                run += static_cast<uint32_t>(p[2 * i] | p[2 * i + 1] << 8);
            sum += run;
            p += 2 * words;
            left -= 2 * words;
            position += 2 * words;
        }
    }
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum) + static_cast<uint32_t>(position);
}

} // namespace pe
