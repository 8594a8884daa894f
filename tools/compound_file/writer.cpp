// Writing a version 3 compound file: a root storage holding streams and
// storages. Sectors, in order: FAT, DIFAT, directory, mini FAT, mini
// stream, then the large streams in directory order, each chain contiguous.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "compound_file/compound_file.h"
#include "compound_file/layout.h"
#include "compound_file/tree.h"

namespace compound_file {

using common::FormatError;
using common::putLe16;
using common::putLe32;
using namespace layout;

namespace {

const uint32_t kSectorSize = 512;
const uint32_t kPerSector = kSectorSize / 4;
const uint64_t kMaxStreamSize = 0x80000000; // what a 32-bit size field of version 3 allows

// One entry to write; its name, class id and bytes are the caller's.
struct Source {
    const std::u16string* name;
    EntryType type;
    const Guid* clsid;
    common::ByteView bytes;
    size_t parent;
};

void checkEntry(const Source& entry) {
    const std::string kind = entry.type == EntryType::Storage ? "storage" : "stream";
    const std::u16string& name = *entry.name;
    if (name.empty() || name.size() > 31)
        throw FormatError("compound file: " + kind + " name \"" + printable(name) +
                          "\" is not 1 to 31 UTF-16 units long");
    for (char16_t c : name) {
        if (c == 0 || c == u'/' || c == u'\\' || c == u':' || c == u'!')
            throw FormatError("compound file: " + kind + " name \"" + printable(name) +
                              "\" holds a character names may not hold");
    }
    if (entry.bytes.size > kMaxStreamSize)
        throw FormatError("compound file: stream \"" + printable(name) + "\" is larger than 2 GiB");
}

// The directory: which entry lies at each position, and for each storage
// (by position) the run of positions its entries take.
struct Directory {
    std::vector<size_t> entryAt;
    std::vector<std::pair<size_t, size_t>> members; // first position, count
};

// Breadth first: the root at 0, then each storage's entries together in
// name order, storages taken in the order they were placed.
Directory placeEntries(const std::vector<Source>& entries) {
    if (entries.empty() || entries[0].type != EntryType::Root)
        throw FormatError("compound file: the first entry is not the root");
    std::vector<std::vector<size_t>> members(entries.size());
    for (size_t i = 1; i < entries.size(); ++i) {
        const Source& entry = entries[i];
        if (entry.type != EntryType::Stream && entry.type != EntryType::Storage)
            throw FormatError("compound file: entry \"" + printable(*entry.name) +
                              "\" is neither a stream nor a storage");
        if (entry.parent >= i || entries[entry.parent].type == EntryType::Stream)
            throw FormatError("compound file: entry \"" + printable(*entry.name) +
                              "\" does not lie in an earlier storage");
        checkEntry(entry);
        members[entry.parent].push_back(i);
    }
    Directory directory;
    directory.entryAt.push_back(0);
    directory.members.resize(entries.size());
    for (size_t at = 0; at < directory.entryAt.size(); ++at) {
        std::vector<size_t>& group = members[directory.entryAt[at]];
        std::sort(group.begin(), group.end(), [&entries](size_t a, size_t b) {
            return compareNames(*entries[a].name, *entries[b].name) < 0;
        });
        for (size_t i = 1; i < group.size(); ++i)
            if (compareNames(*entries[group[i - 1]].name, *entries[group[i]].name) == 0)
                throw FormatError("compound file: two entries of one storage named \"" +
                                  printable(*entries[group[i]].name) + "\" (names ignore case)");
        directory.members[at] = {directory.entryAt.size(), group.size()};
        directory.entryAt.insert(directory.entryAt.end(), group.begin(), group.end());
    }
    directory.members.resize(directory.entryAt.size());
    return directory;
}

// A balanced search tree over the positions lo..hi-1, sorted by name: the
// middle one on top. Filled levels are black and the lowest level, when it
// is not the top, red, so every path to a leaf passes the same number of
// black entries.
struct TreeNode {
    uint32_t left = kNoStream, right = kNoStream;
    int depth = 0;
    bool black = true;
};

uint32_t buildTree(std::vector<TreeNode>& nodes, size_t lo, size_t hi, int depth) {
    if (lo >= hi)
        return kNoStream;
    size_t middle = lo + (hi - lo - 1) / 2;
    TreeNode& node = nodes[middle];
    node.depth = depth;
    node.left = buildTree(nodes, lo, middle, depth + 1);
    node.right = buildTree(nodes, middle + 1, hi, depth + 1);
    return static_cast<uint32_t>(middle);
}

// The tree of each storage's entries; returns each position's child, the
// top of its own entries' tree.
std::vector<uint32_t> buildTrees(const Directory& directory, std::vector<TreeNode>& nodes) {
    std::vector<uint32_t> child(directory.entryAt.size(), kNoStream);
    for (size_t at = 0; at < child.size(); ++at) {
        size_t first = directory.members[at].first, count = directory.members[at].second;
        if (count == 0)
            continue;
        child[at] = buildTree(nodes, first, first + count, 0);
        int lowest = 0;
        for (size_t i = first; i < first + count; ++i)
            lowest = std::max(lowest, nodes[i].depth);
        for (size_t i = first; i < first + count; ++i)
            nodes[i].black = nodes[i].depth < lowest || lowest == 0;
    }
    return child;
}

void putEntry(uint8_t* raw, const std::u16string& name, EntryType type, const TreeNode& node,
              uint32_t child, const Guid* clsid, uint32_t start, uint64_t size) {
    for (size_t i = 0; i < name.size(); ++i)
        putLe16(raw + 2 * i, name[i]);
    putLe16(raw + kNameLength, static_cast<uint16_t>(2 * (name.size() + 1)));
    raw[kType] = static_cast<uint8_t>(type);
    raw[kColor] = node.black ? 1 : 0;
    putLe32(raw + kLeft, node.left);
    putLe32(raw + kRight, node.right);
    putLe32(raw + kChild, child);
    if (clsid)
        std::memcpy(raw + kClsid, clsid->bytes, sizeof clsid->bytes);
    putLe32(raw + kStart, start);
    common::putLe64(raw + kSize, size);
}

common::Bytes writeEntries(const std::vector<Source>& entries) {
    const Directory directory = placeEntries(entries);
    const size_t count = directory.entryAt.size();
    auto source = [&](size_t at) -> const Source& { return entries[directory.entryAt[at]]; };

    // Where each stream's data starts: in mini sectors or in sectors.
    std::vector<uint64_t> start(count);
    uint64_t miniSectors = 0, largeSectors = 0;
    for (size_t at = 1; at < count; ++at) {
        uint64_t size = source(at).bytes.size;
        if (size == 0)
            continue;
        if (size < kMiniStreamCutoff) {
            start[at] = miniSectors;
            miniSectors += divideUp(size, kMiniSectorSize);
        } else {
            start[at] = largeSectors;
            largeSectors += divideUp(size, kSectorSize);
        }
    }
    const uint64_t miniStreamSectors = divideUp(miniSectors * kMiniSectorSize, kSectorSize);
    const uint64_t miniFatSectors = divideUp(miniSectors, kPerSector);
    const uint64_t directorySectors = divideUp(count, kSectorSize / kEntrySize);
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
    std::fill_n(fat.begin(), fatSectors, kFatSector);
    std::fill_n(fat.begin() + difatFirst, difatSectors, kDifatSector);
    chain(fat, directoryFirst, directorySectors);
    chain(fat, miniFatFirst, miniFatSectors);
    chain(fat, miniStreamFirst, miniStreamSectors);

    std::vector<TreeNode> tree(count);
    const std::vector<uint32_t> child = buildTrees(directory, tree);
    uint8_t* entryBytes = at(directoryFirst);
    putEntry(entryBytes, u"Root Entry", EntryType::Root, TreeNode(), child[0], source(0).clsid,
             miniSectors ? miniStreamFirst : kEndOfChain, miniSectors * kMiniSectorSize);
    for (size_t position = 1; position < count; ++position) {
        const Source& entry = source(position);
        uint8_t* raw = entryBytes + position * kEntrySize;
        if (entry.type == EntryType::Storage) {
            // A storage has no data: start and size stay zero.
            putEntry(raw, *entry.name, entry.type, tree[position], child[position], entry.clsid, 0,
                     0);
            continue;
        }
        const uint64_t size = entry.bytes.size;
        uint32_t first = kEndOfChain;
        if (size >= kMiniStreamCutoff) {
            first = static_cast<uint32_t>(largeFirst + start[position]);
            chain(fat, first, divideUp(size, kSectorSize));
            std::memcpy(at(first), entry.bytes.data, entry.bytes.size);
        } else if (size > 0) {
            first = static_cast<uint32_t>(start[position]);
            chain(miniFat, first, divideUp(size, kMiniSectorSize));
            std::memcpy(at(miniStreamFirst) + start[position] * kMiniSectorSize, entry.bytes.data,
                        entry.bytes.size);
        }
        putEntry(raw, *entry.name, entry.type, tree[position], kNoStream, nullptr, first, size);
    }
    for (size_t unused = count; unused < directorySectors * (kSectorSize / kEntrySize); ++unused) {
        uint8_t* raw = entryBytes + unused * kEntrySize;
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
        uint8_t* listed = at(difatFirst + d);
        for (uint32_t i = 0; i + 1 < kPerSector; ++i) {
            uint64_t fatSector = kHeaderDifatEntries + uint64_t(d) * (kPerSector - 1) + i;
            putLe32(listed + 4 * i,
                    fatSector < fatSectors ? static_cast<uint32_t>(fatSector) : kFreeSector);
        }
        putLe32(listed + 4 * (kPerSector - 1),
                d + 1 < difatSectors ? difatFirst + d + 1 : kEndOfChain);
    }
    return file;
}

} // namespace

common::Bytes write(const Guid& rootClass, const std::vector<StreamData>& streams) {
    static const std::u16string rootName;
    std::vector<Source> entries{{&rootName, EntryType::Root, &rootClass, {}, 0}};
    for (const StreamData& stream : streams)
        entries.push_back({&stream.name, EntryType::Stream, nullptr, stream.bytes, 0});
    return writeEntries(entries);
}

common::Bytes writeTree(const std::vector<TreeEntry>& tree) {
    std::vector<Source> entries;
    entries.reserve(tree.size());
    for (const TreeEntry& entry : tree)
        entries.push_back({&entry.name, entry.type, &entry.clsid, entry.bytes, entry.parent});
    return writeEntries(entries);
}

} // namespace compound_file
