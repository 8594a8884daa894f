#pragma once
// The few fields of a Windows program's headers that setup-pack reads and
// writes: where the checksum lies, the certificate table (an Authenticode
// signature), and the checksum itself. Pure code over bytes: no file, no
// Windows call, so that it builds and is tested anywhere.
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace pe {

struct PeLayout {
    size_t checksumOffset = 0;      // of the 32-bit CheckSum in the optional header
    uint32_t certificateOffset = 0; // file offset of the certificate table; 0: none
    uint32_t certificateSize = 0;
};

// Fills `layout` and returns true when the bytes start with a DOS header
// that leads to a "PE\0\0" signature and a PE32 or PE32+ optional header
// long enough to hold the checksum and the certificate table's entry
// (a header with fewer data directories has no certificate table). Returns
// false, leaving `layout` unspecified, for anything else.
bool readPeLayout(const unsigned char* data, size_t size, PeLayout& layout);

// The PE checksum of a file of these bytes, as imagehlp's CheckSumMappedFile
// computes it: the 16-bit one's complement sum of its little-endian words
// (an odd last byte as a word of its own) with the checksum field counted
// as zero, plus the file's length. (imagehlp subtracts the stored value
// instead, which can differ by giving 0 for 0xFFFF when the sum is a
// multiple of 0xFFFF.)
uint32_t peChecksum(const unsigned char* data, size_t size, size_t checksumOffset);

// The same checksum of the file that is the concatenation of `count` parts,
// without joining them (a part may be 1 GiB of a mapped input). Parts may
// have any size, odd ones included; the length counted is their total.
uint32_t peChecksum(const common::ByteView* parts, size_t count, size_t checksumOffset);

} // namespace pe
