#include "pe/checksum.h"

namespace pe {

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
            // Two words per 32-bit load: twice as fast as word by word.
            uint64_t run = 0;
            size_t i = 0;
            for (; i + 2 <= words; i += 2) {
                uint32_t pair = common::readLe32(p + 2 * i);
                run += (pair & 0xFFFF) + (pair >> 16);
            }
            for (; i < words; ++i)
                run += common::readLe16(p + 2 * i);
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
