#include "pe/image.h"

using common::readLe16;
using common::readLe32;

namespace pe {

namespace {

const size_t fileHeaderSize = 20, sectionHeaderSize = 40;
// Where NumberOfRvaAndSizes lies in each kind of optional header; the
// directories follow it.
const size_t directoryCountPe32 = 92, directoryCountPe32Plus = 108;

} // namespace

Headers readHeaders(common::ByteView bytes) {
    const uint8_t* d = bytes.data;
    const size_t size = bytes.size;
    Headers h;
    if (size < 0x40 || d[0] != 'M' || d[1] != 'Z')
        throw NotAProgram("no DOS header (MZ)");
    uint32_t pe = readLe32(d + 0x3C);
    if (!inside(pe, 4 + fileHeaderSize, size) || readLe32(d + pe) != 0x00004550)
        throw NotAProgram("no PE signature where the DOS header points");
    h.fileHeader = pe + 4;
    h.machine = readLe16(d + h.fileHeader);
    size_t sectionCount = readLe16(d + h.fileHeader + 2);
    h.optionalHeader = h.fileHeader + fileHeaderSize;
    h.optionalHeaderSize = readLe16(d + h.fileHeader + 16);
    if (!inside(h.optionalHeader, h.optionalHeaderSize, size) || h.optionalHeaderSize < 2)
        throw NotAProgram("optional header out of the file");
    uint16_t magic = readLe16(d + h.optionalHeader);
    if (magic != 0x10B && magic != 0x20B)
        throw NotAProgram("unknown optional header kind");
    h.plus = magic == 0x20B;
    size_t countField = h.plus ? directoryCountPe32Plus : directoryCountPe32;
    if (h.optionalHeaderSize < countField + 4)
        throw NotAProgram("optional header too short");
    const uint8_t* optional = d + h.optionalHeader;
    h.checksumOffset = h.optionalHeader + field::checksum;
    h.entryPoint = readLe32(optional + field::entryPoint);
    h.sectionAlignment = readLe32(optional + field::sectionAlignment);
    h.fileAlignment = readLe32(optional + field::fileAlignment);

    h.directoryTable = h.optionalHeader + countField + 4;
    uint32_t directoryCount = readLe32(optional + countField);
    if (directoryCount > (h.optionalHeaderSize - countField - 4) / 8)
        throw common::FormatError("more data directories than the optional header holds");
    for (uint32_t i = 0; i < directoryCount; ++i)
        h.directories.push_back(
            {readLe32(d + h.directoryOffset(i)), readLe32(d + h.directoryOffset(i) + 4)});

    size_t table = h.optionalHeader + h.optionalHeaderSize;
    if (!inside(table, sectionCount * sectionHeaderSize, size))
        throw common::FormatError("section table out of the file");
    h.sectionTableEnd = table + sectionCount * sectionHeaderSize;
    for (size_t i = 0; i < sectionCount; ++i) {
        const uint8_t* entry = d + table + i * sectionHeaderSize;
        Section s;
        s.virtualSize = readLe32(entry + 8);
        s.virtualAddress = readLe32(entry + 12);
        s.rawSize = readLe32(entry + 16);
        s.rawOffset = readLe32(entry + 20);
        s.characteristics = readLe32(entry + 36);
        s.headerOffset = table + i * sectionHeaderSize;
        h.sections.push_back(s);
    }
    return h;
}

bool readPeLayout(const unsigned char* data, size_t size, PeLayout& layout) {
    try {
        Headers headers = readHeaders(common::ByteView(data, size));
        DataDirectory certificates = headers.directory(certificateDirectory);
        layout.checksumOffset = headers.checksumOffset;
        layout.certificateOffset = certificates.address;
        layout.certificateSize = certificates.size;
        return true;
    } catch (const common::FormatError&) {
        return false;
    }
}

} // namespace pe
