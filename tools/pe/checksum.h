#pragma once
// The PE checksum of a Windows program (PE32 or PE32+: the sum does not
// depend on the kind), of its bytes whole or in parts. Pure code over bytes.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace pe {

// The PE checksum of a file of these bytes, as imagehlp's CheckSumMappedFile
// computes it: the 16-bit one's complement sum of its little-endian words
// (an odd last byte as a word of its own) with the 4-byte checksum field at
// `checksumOffset` counted as zero, plus the file's length. (imagehlp
// subtracts the stored value instead, which can differ by giving 0 for
// 0xFFFF when the sum is a multiple of 0xFFFF.)
uint32_t peChecksum(const unsigned char* data, size_t size, size_t checksumOffset);

// The same checksum of the file that is the concatenation of `count` parts,
// without joining them (a part may be 1 GiB of a mapped input). Parts may
// have any size, odd ones included; the length counted is their total.
uint32_t peChecksum(const common::ByteView* parts, size_t count, size_t checksumOffset);

} // namespace pe
