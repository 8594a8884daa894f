#pragma once
// The PE checksum of a file summed piece by piece while it is written, so
// that no piece need be kept: pieces of any size, odd ones included, in the
// file's order; the result is pe::peChecksum over their concatenation.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

class RunningChecksum {
  public:
    // `checksumOffset`: where the file's checksum field lies (its 4 bytes
    // count as zero, as pe::peChecksum counts them).
    explicit RunningChecksum(uint64_t checksumOffset) : checksumOffset_(checksumOffset) {}
    // Adds the file's next bytes.
    void add(common::ByteView piece);
    // The checksum of all bytes added so far.
    uint32_t value() const { return sum_ + static_cast<uint32_t>(length_); }

  private:
    uint64_t checksumOffset_;
    uint64_t length_ = 0;
    uint32_t sum_ = 0; // the folded 16-bit one's complement sum of the words so far
};
