// Writing a version 3 compound file that holds streams in its root storage.
// Sectors, in order: FAT, DIFAT, directory, mini FAT, mini stream, then
// the large streams in directory order, each chain contiguous.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "compound_file/compound_file.h"
#include "compound_file/layout.h"

namespace compound_file {

using common::FormatError;
using common::putLe16;
using common::putLe32;
using namespace layout;

namespace {

const uint32_t kSectorSize = 512;
const uint32_t kPerSector = kSectorSize / 4;
const uint64_t kMaxStreamSize = 0x80000000; // what a 32-bit size field of version 3 allows

uint64_t divideUp(uint64_t value, uint64_t unit) {
    return (value + unit - 1) / unit;
}

void checkNames(const std::vector<StreamData>& streams, const std::vector<size_t>& order) {
    for (const StreamData& stream : streams) {
        const std::u16string& name = stream.name;
        if (name.empty() || name.size() > 31)
            throw FormatError("compound file: stream name \"" + printable(name) +
                              "\" is not 1 to 31 UTF-16 units long");
        for (char16_t c : name) {
            if (c == 0 || c == u'/' || c == u'\\' || c == u':' || c == u'!')
                throw FormatError("compound file: stream name \"" + printable(name) +
                                  "\" holds a character names may not hold");
        }
        if (stream.bytes.size() > kMaxStreamSize)
            throw FormatError("compound file: stream \"" + printable(name) +
                              "\" is larger than 2 GiB");
    }
    for (size_t i = 1; i < order.size(); ++i) {
        if (compareNames(streams[order[i - 1]].name, streams[order[i]].name) == 0)
            throw FormatError("compound file: two streams named \"" +
                              printable(streams[order[i]].name) + "\" (names ignore case)");
    }
}

// A balanced search tree over the sorted entries lo..hi-1 (directory ids
// first + index): the middle one on top. Filled levels are black and the
// lowest level, when it is not the top, red, so every path to a leaf passes
// the same number of black entries.
struct TreeNode {
    uint32_t left = kNoStream, right = kNoStream;
    int depth = 0;
};

uint32_t buildTree(std::vector<TreeNode>& nodes, size_t lo, size_t hi, int depth, uint32_t first) {
    if (lo >= hi)
        return kNoStream;
    size_t middle = lo + (hi - lo - 1) / 2;
    TreeNode& node = nodes[middle];
    node.depth = depth;
    node.left = buildTree(nodes, lo, middle, depth + 1, first);
    node.right = buildTree(nodes, middle + 1, hi, depth + 1, first);
    return first + static_cast<uint32_t>(middle);
}

void putEntry(uint8_t* raw, const std::u16string& name, uint8_t type, bool black, uint32_t left,
              uint32_t right, uint32_t child, const Guid* clsid, uint32_t start, uint64_t size) {
    for (size_t i = 0; i < name.size(); ++i)
        putLe16(raw + 2 * i, name[i]);
    putLe16(raw + kNameLength, static_cast<uint16_t>(2 * (name.size() + 1)));
    raw[kType] = type;
    raw[kColor] = black ? 1 : 0;
    putLe32(raw + kLeft, left);
    putLe32(raw + kRight, right);
    putLe32(raw + kChild, child);
    if (clsid)
        std::memcpy(raw + kClsid, clsid->bytes, sizeof clsid->bytes);
    putLe32(raw + kStart, start);
    common::putLe64(raw + kSize, size);
}

} // namespace

common::Bytes write(const Guid& rootClass, const std::vector<StreamData>& streams) {
    std::vector<size_t> order(streams.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&streams](size_t a, size_t b) {
        return compareNames(streams[a].name, streams[b].name) < 0;
    });
    checkNames(streams, order);
    const size_t count = order.size();

    // Where each stream's data starts: in mini sectors or in sectors.
    std::vector<uint64_t> start(count);
    uint64_t miniSectors = 0, largeSectors = 0;
    for (size_t i = 0; i < count; ++i) {
        uint64_t size = streams[order[i]].bytes.size();
        if (size == 0)
            continue;
        if (size < kMiniStreamCutoff) {
            start[i] = miniSectors;
            miniSectors += divideUp(size, kMiniSectorSize);
        } else {
            start[i] = largeSectors;
            largeSectors += divideUp(size, kSectorSize);
        }
    }
    const uint64_t miniStreamSectors = divideUp(miniSectors * kMiniSectorSize, kSectorSize);
    const uint64_t miniFatSectors = divideUp(miniSectors, kPerSector);
    const uint64_t directorySectors = divideUp(count + 1, kSectorSize / kEntrySize);
    const uint64_t others = largeSectors + miniStreamSectors + miniFatSectors + directorySectors;
    // The FAT maps itself and the DIFAT too: grow both until they fit.
    uint64_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        uint64_t needed = divideUp(others + fatSectors + difatSectors, kPerSector);
        uint64_t difatNeeded = needed > kHeaderDifatEntries
                                   ? divideUp(needed - kHeaderDifatEntries, kPerSector - 1)
                                   : 0;
        if (needed == fatSectors && difatNeeded == difatSectors)
            break;
        fatSectors = needed;
        difatSectors = difatNeeded;
    }
    const uint64_t total = others + fatSectors + difatSectors;
    if (total >= kMaxRegularSector || (total + 1) * kSectorSize > SIZE_MAX)
        throw FormatError("compound file: the streams are too large for one file");

    const uint32_t difatFirst = static_cast<uint32_t>(fatSectors);
    const uint32_t directoryFirst = static_cast<uint32_t>(difatFirst + difatSectors);
    const uint32_t miniFatFirst = static_cast<uint32_t>(directoryFirst + directorySectors);
    const uint32_t miniStreamFirst = static_cast<uint32_t>(miniFatFirst + miniFatSectors);
    const uint32_t largeFirst = static_cast<uint32_t>(miniStreamFirst + miniStreamSectors);

    common::Bytes file(static_cast<size_t>((total + 1) * kSectorSize), 0);
    auto at = [&file](uint32_t sector) { return file.data() + (size_t(sector) + 1) * kSectorSize; };

    // FAT and mini FAT: every chain is a run of consecutive sectors.
    std::vector<uint32_t> fat(static_cast<size_t>(fatSectors * kPerSector), kFreeSector);
    std::vector<uint32_t> miniFat(static_cast<size_t>(miniFatSectors * kPerSector), kFreeSector);
    auto chain = [](std::vector<uint32_t>& table, uint64_t first, uint64_t length) {
        for (uint64_t i = 0; i < length; ++i)
            table[static_cast<size_t>(first + i)] =
                i + 1 == length ? kEndOfChain : static_cast<uint32_t>(first + i + 1);
    };
    for (uint32_t i = 0; i < fatSectors; ++i)
        fat[i] = kFatSector;
    for (uint32_t i = 0; i < difatSectors; ++i)
        fat[difatFirst + i] = kDifatSector;
    chain(fat, directoryFirst, directorySectors);
    chain(fat, miniFatFirst, miniFatSectors);
    chain(fat, miniStreamFirst, miniStreamSectors);

    // Directory: the root, then the streams in name order.
    std::vector<TreeNode> tree(count);
    uint32_t top = buildTree(tree, 0, count, 0, 1);
    int lowest = 0;
    for (const TreeNode& node : tree)
        lowest = std::max(lowest, node.depth);
    uint8_t* directory = at(directoryFirst);
    putEntry(directory, u"Root Entry", 5, true, kNoStream, kNoStream, top, &rootClass,
             miniSectors ? miniStreamFirst : kEndOfChain, miniSectors * kMiniSectorSize);
    for (size_t i = 0; i < count; ++i) {
        const StreamData& stream = streams[order[i]];
        const uint64_t size = stream.bytes.size();
        uint32_t first = kEndOfChain;
        if (size >= kMiniStreamCutoff) {
            first = static_cast<uint32_t>(largeFirst + start[i]);
            uint64_t length = divideUp(size, kSectorSize);
            chain(fat, first, length);
            std::memcpy(at(first), stream.bytes.data(), stream.bytes.size());
        } else if (size > 0) {
            first = static_cast<uint32_t>(start[i]);
            chain(miniFat, first, divideUp(size, kMiniSectorSize));
            std::memcpy(at(miniStreamFirst) + start[i] * kMiniSectorSize, stream.bytes.data(),
                        stream.bytes.size());
        }
        bool black = tree[i].depth < lowest || lowest == 0;
        putEntry(directory + (i + 1) * kEntrySize, stream.name, 2, black, tree[i].left,
                 tree[i].right, kNoStream, nullptr, first, size);
    }
    for (size_t unused = count + 1; unused < directorySectors * (kSectorSize / kEntrySize);
         ++unused) {
        uint8_t* raw = directory + unused * kEntrySize;
        putLe32(raw + kLeft, kNoStream);
        putLe32(raw + kRight, kNoStream);
        putLe32(raw + kChild, kNoStream);
    }

    for (size_t i = 0; i < fat.size(); ++i)
        putLe32(at(0) + 4 * i, fat[i]);
    for (size_t i = 0; i < miniFat.size(); ++i)
        putLe32(at(miniFatFirst) + 4 * i, miniFat[i]);

    // Header, with the first 109 FAT sectors listed in it, the rest in the DIFAT.
    uint8_t* header = file.data();
    std::memcpy(header, kSignature, sizeof kSignature);
    putLe16(header + 0x18, 0x3E);
    putLe16(header + kMajorVersion, 3);
    putLe16(header + kByteOrder, 0xFFFE);
    putLe16(header + kSectorShift, 9);
    putLe16(header + kMiniSectorShift, 6);
    putLe32(header + kFatSectors, static_cast<uint32_t>(fatSectors));
    putLe32(header + kFirstDirectorySector, directoryFirst);
    putLe32(header + kCutoff, kMiniStreamCutoff);
    putLe32(header + kFirstMiniFatSector, miniFatSectors ? miniFatFirst : kEndOfChain);
    putLe32(header + kMiniFatSectors, static_cast<uint32_t>(miniFatSectors));
    putLe32(header + kFirstDifatSector, difatSectors ? difatFirst : kEndOfChain);
    putLe32(header + kDifatSectors, static_cast<uint32_t>(difatSectors));
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        putLe32(header + kHeaderDifat + 4 * i, i < fatSectors ? i : kFreeSector);
    for (uint32_t d = 0; d < difatSectors; ++d) {
        uint8_t* entries = at(difatFirst + d);
        for (uint32_t i = 0; i + 1 < kPerSector; ++i) {
            uint64_t fatSector = kHeaderDifatEntries + uint64_t(d) * (kPerSector - 1) + i;
            putLe32(entries + 4 * i,
                    fatSector < fatSectors ? static_cast<uint32_t>(fatSector) : kFreeSector);
        }
        putLe32(entries + 4 * (kPerSector - 1),
                d + 1 < difatSectors ? difatFirst + d + 1 : kEndOfChain);
    }
    return file;
}

} // namespace compound_file
