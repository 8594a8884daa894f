#pragma once
// The headers of a Windows program, PE32 or PE32+, read in one place for
// the whole library: what kind of image it is, for which machine, where the
// optional header, its data directories, the section table and the
// checksum field lie, the sections, the alignments and the certificate
// table. Pure code over bytes: no file, no Windows call, so that it builds
// and is tested anywhere.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"

namespace pe {

// The data directories the library reads or rewrites, by their index.
enum DirectoryIndex : uint32_t {
    resourceDirectory = 2,
    certificateDirectory = 4, // its address is a file offset, not an RVA
    relocationDirectory = 5,
};

const uint16_t machineI386 = 0x14C, machineAmd64 = 0x8664;

// Fields of the optional header at the same offset in PE32 and PE32+,
// counted from its start. What lies between them differs (PE32 has
// BaseOfData, PE32+ an 8-byte ImageBase and 8-byte stack and heap sizes),
// so the data directories start at 96 in PE32 and at 112 in PE32+.
namespace field {
const size_t sizeOfInitializedData = 8, entryPoint = 16, sectionAlignment = 32, fileAlignment = 36,
             sizeOfImage = 56, checksum = 64;
}

struct Section {
    uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
    uint32_t characteristics = 0;
    size_t headerOffset = 0; // of its 40-byte entry in the section table

    // What of the section the file holds: its raw data, no further than its
    // size in memory (when the linker gave one).
    uint32_t held() const {
        return virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
    }
};

// [offset, offset + size) lies inside `limit` bytes; no overflow on any input.
inline bool inside(uint64_t offset, uint64_t size, uint64_t limit) {
    return offset <= limit && size <= limit - offset;
}

struct DataDirectory {
    uint32_t address = 0, size = 0; // 0, 0: none
};

// What the headers say; every offset counts from the file's start.
struct Headers {
    bool plus = false; // PE32+ (64-bit images), else PE32
    uint16_t machine = 0;
    size_t fileHeader = 0; // the COFF file header, after "PE\0\0"
    size_t optionalHeader = 0, optionalHeaderSize = 0;
    size_t checksumOffset = 0;
    size_t directoryTable = 0;              // the first data directory's entry
    std::vector<DataDirectory> directories; // NumberOfRvaAndSizes of them
    size_t sectionTableEnd = 0;             // the table starts after the optional header
    std::vector<Section> sections;          // in the table's order
    uint32_t entryPoint = 0, sectionAlignment = 0, fileAlignment = 0;

    // The entry, or none beyond NumberOfRvaAndSizes.
    DataDirectory directory(uint32_t index) const {
        return index < directories.size() ? directories[index] : DataDirectory();
    }
    size_t directoryOffset(uint32_t index) const { return directoryTable + 8 * size_t(index); }
};

// Thrown for bytes that hold no PE headers at all (no DOS header, no PE
// signature where it points, no optional header of a known kind and
// length): not a Windows program, rather than a broken one.
class NotAProgram : public common::FormatError {
  public:
    using common::FormatError::FormatError;
};

// Reads the headers at the start of `bytes`: a whole file, or at least its
// headers up to the end of the section table (the first piece the writer
// builds). Throws NotAProgram as above, and common::FormatError when the
// data directories or the section table run past the optional header or
// the bytes. Where the sections' data and the certificate table lie is not
// checked here, as only the whole file can tell (pe::Image checks it).
// Reads only inside `bytes` on any input.
Headers readHeaders(common::ByteView bytes);

// The fields setup-pack reads when it writes a setup: where the checksum
// lies and the certificate table (an Authenticode signature).
struct PeLayout {
    size_t checksumOffset = 0;      // of the 32-bit CheckSum in the optional header
    uint32_t certificateOffset = 0; // file offset of the certificate table; 0: none
    uint32_t certificateSize = 0;
};

// Fills `layout` from readHeaders(data, size) and returns true; returns
// false, leaving `layout` unspecified, where readHeaders throws.
bool readPeLayout(const unsigned char* data, size_t size, PeLayout& layout);

} // namespace pe
