#include "setup_pack/running_checksum.h"

#include "pe/checksum.h"

namespace {

uint32_t fold(uint32_t sum) {
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return sum;
}

} // namespace

void RunningChecksum::add(common::ByteView piece) {
    // Bytes of a field that began in an earlier piece add their length only.
    if (length_ > checksumOffset_ && length_ - checksumOffset_ < 4) {
        size_t inField = static_cast<size_t>(4 - (length_ - checksumOffset_));
        if (inField > piece.size)
            inField = piece.size;
        length_ += inField;
        piece = piece.slice(inField, piece.size - inField);
    }
    if (piece.empty())
        return;
    // The piece's own checksum less its length is its folded word sum (it
    // stays below 2^16, so the subtraction is exact). A field past the
    // piece's end is out of its reach.
    size_t field = checksumOffset_ >= length_ && checksumOffset_ - length_ < piece.size
                       ? static_cast<size_t>(checksumOffset_ - length_)
                       : piece.size;
    uint32_t sum = pe::peChecksum(&piece, 1, field) - static_cast<uint32_t>(piece.size);
    // At an odd offset the piece's bytes sit in the other halves of the
    // file's words; the one's complement sum of swapped words is the
    // swapped sum.
    if (length_ & 1)
        sum = ((sum & 0xFF) << 8) | (sum >> 8);
    sum_ = fold(sum_ + sum);
    length_ += piece.size;
}
