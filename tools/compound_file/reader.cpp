// Reading a compound file held in memory. Every number taken from the file
// is checked against the file before use; walks are bounded by the number of
// sectors or entries, so a hostile file can neither loop nor make us
// allocate more than its own size.
#include <algorithm>
#include <cstring>

#include "compound_file/compound_file.h"
#include "compound_file/layout.h"

namespace compound_file {

using common::FormatError;
using common::readLe32;
using namespace layout;

namespace {

[[noreturn]] void fail(const std::string& why) {
    throw FormatError("compound file: " + why);
}

bool repeats(std::vector<uint32_t> sectors) {
    std::sort(sectors.begin(), sectors.end());
    return std::adjacent_find(sectors.begin(), sectors.end()) != sectors.end();
}

// The sectors of the chain from `start` in `table`, where numbers below
// `valid` are sectors. `exact`: the chain holds at least `limit` sectors and
// only those are taken; otherwise it ends within `limit` sectors. The walk
// stops after `limit` steps, so the loop check costs memory in proportion to
// the chain, not to the file.
std::vector<uint32_t> follow(const std::vector<uint32_t>& table, uint64_t valid, uint32_t start,
                             uint64_t limit, bool exact, const std::string& what) {
    valid = std::min<uint64_t>(valid, table.size());
    if (exact && limit > valid)
        fail("the " + what + " needs more sectors than the file has");
    std::vector<uint32_t> sectors;
    for (uint32_t current = start; !(exact && sectors.size() == limit); current = table[current]) {
        if (current == kEndOfChain) {
            if (exact)
                fail("the chain of the " + what + " is shorter than its size");
            break;
        }
        if (current >= valid)
            fail("the chain of the " + what +
                 " leaves the file or reaches a sector number out of range");
        if (sectors.size() == limit)
            fail("the chain of the " + what + (repeats(sectors) ? " loops" : " is too long"));
        sectors.push_back(current);
    }
    if (repeats(sectors))
        fail("the chain of the " + what + " loops");
    return sectors;
}

} // namespace

const uint8_t* Reader::sector(uint32_t number, const char* what) const {
    uint64_t offset = (static_cast<uint64_t>(number) + 1) * sectorSize_;
    if (number >= sectorCount_ || offset + sectorSize_ > file_.size)
        fail(std::string("a sector of the ") + what + " lies beyond the end of the file");
    return file_.data + offset;
}

bool hasSignature(common::ByteView file) {
    return file.size >= sizeof kSignature &&
           std::memcmp(file.data, kSignature, sizeof kSignature) == 0;
}

Reader::Reader(common::ByteView file, NameText nameText) : file_(file), nameText_(nameText) {
    if (file.size < kHeaderSize)
        fail("the file is shorter than the 512-byte header");
    const uint8_t* header = file.data;
    if (!hasSignature(file))
        fail("no compound file signature");
    if (common::readLe16(header + kByteOrder) != 0xFFFE)
        fail("the byte order mark is not FFFE");
    uint16_t major = common::readLe16(header + kMajorVersion);
    uint16_t shift = common::readLe16(header + kSectorShift);
    if (!(major == 3 && shift == 9) && !(major == 4 && shift == 12))
        fail("sector shift " + std::to_string(shift) + " does not fit version " +
             std::to_string(major) + " (expected 3 with 9 or 4 with 12)");
    if (common::readLe16(header + kMiniSectorShift) != 6)
        fail("the mini sector shift is not 6");
    if (readLe32(header + kCutoff) != kMiniStreamCutoff)
        fail("the mini stream cutoff is not 4096");
    sectorSize_ = 1u << shift;
    if (file.size < sectorSize_)
        fail("the file is shorter than its header sector");
    sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>(
        divideUp(file.size - sectorSize_, sectorSize_), kMaxRegularSector + uint64_t(1)));

    readTables();
    readDirectory(readLe32(header + kFirstDirectorySector), major == 4);
    linkTree();
}

// FAT (through the header's and the DIFAT sectors' lists) and mini FAT.
void Reader::readTables() {
    const uint8_t* header = file_.data;
    const uint32_t perSector = sectorSize_ / 4;
    uint32_t fatSectors = readLe32(header + kFatSectors);
    if (fatSectors > sectorCount_)
        fail("the header counts more FAT sectors than the file has");
    std::vector<uint32_t> fatList;
    fatList.reserve(fatSectors);
    for (size_t i = 0; i < kHeaderDifatEntries && fatList.size() < fatSectors; ++i)
        fatList.push_back(readLe32(header + kHeaderDifat + 4 * i));
    // The DIFAT chain is linked through the last entry of each of its
    // sectors, not through the FAT; it is walked only as far as it lists
    // FAT sectors, so a loop shows as a FAT sector listed twice.
    uint32_t difat = readLe32(header + kFirstDifatSector);
    while (fatList.size() < fatSectors) {
        if (difat >= sectorCount_)
            fail("the DIFAT ends before listing every FAT sector");
        const uint8_t* entries = sector(difat, "DIFAT");
        for (uint32_t i = 0; i + 1 < perSector && fatList.size() < fatSectors; ++i)
            fatList.push_back(readLe32(entries + 4 * i));
        difat = readLe32(entries + 4 * (perSector - 1));
    }
    std::vector<bool> listed(sectorCount_);
    fat_.reserve(static_cast<size_t>(fatSectors) * perSector);
    for (uint32_t number : fatList) {
        if (number >= sectorCount_)
            fail("a FAT sector number is out of range");
        if (listed[number])
            fail("a FAT sector is listed twice (the DIFAT loops)");
        listed[number] = true;
        const uint8_t* entries = sector(number, "FAT");
        for (uint32_t i = 0; i < perSector; ++i)
            fat_.push_back(readLe32(entries + 4 * i));
    }

    uint32_t miniFatSectors = readLe32(header + kMiniFatSectors);
    uint32_t firstMiniFat = readLe32(header + kFirstMiniFatSector);
    if (miniFatSectors == 0 && firstMiniFat == kEndOfChain)
        return;
    std::vector<uint32_t> chain =
        follow(fat_, sectorCount_, firstMiniFat, miniFatSectors, true, "mini FAT");
    miniFat_.reserve(chain.size() * perSector);
    for (uint32_t number : chain) {
        const uint8_t* entries = sector(number, "mini FAT");
        for (uint32_t i = 0; i < perSector; ++i)
            miniFat_.push_back(readLe32(entries + 4 * i));
    }
}

void Reader::readDirectory(uint32_t firstSector, bool largeSizes) {
    std::vector<uint32_t> chain =
        follow(fat_, sectorCount_, firstSector, sectorCount_, false, "directory");
    if (chain.empty())
        fail("the directory is empty");
    const size_t perSector = sectorSize_ / kEntrySize;
    nodes_.resize(chain.size() * perSector);
    for (size_t id = 0; id < nodes_.size(); ++id) {
        const uint8_t* raw =
            sector(chain[id / perSector], "directory") + id % perSector * kEntrySize;
        Node& node = nodes_[id];
        node.entry.id = static_cast<uint32_t>(id);
        uint8_t type = raw[kType];
        if (type == 0) {
            if (id == 0)
                fail("the first directory entry is not the root storage");
            continue;
        }
        if (type != 1 && type != 2 && type != 5)
            fail("directory entry " + std::to_string(id) + " has unknown type " +
                 std::to_string(type));
        if ((type == 5) != (id == 0))
            fail(id == 0 ? "the first directory entry is not the root storage"
                         : "a second root storage in the directory");
        uint16_t nameBytes = common::readLe16(raw + kNameLength);
        if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2 != 0)
            fail("directory entry " + std::to_string(id) + " has a name length of " +
                 std::to_string(nameBytes) + " bytes");
        for (size_t i = 0; i + 1 < nameBytes / 2u; ++i)
            node.entry.name.push_back(static_cast<char16_t>(common::readLe16(raw + 2 * i)));
        node.used = true;
        node.entry.type = static_cast<EntryType>(type);
        std::memcpy(node.entry.clsid.bytes, raw + kClsid, sizeof node.entry.clsid.bytes);
        node.left = readLe32(raw + kLeft);
        node.right = readLe32(raw + kRight);
        node.child = readLe32(raw + kChild);
        node.start = readLe32(raw + kStart);
        // Version 3 writers of old left the high half of the size unset.
        uint64_t size = largeSizes ? common::readLe64(raw + kSize) : readLe32(raw + kSize);
        if (type != 1 && size > file_.size)
            fail("the size of " + shown(node.entry.name) + " is beyond the file's");
        node.entry.size = type == 2 ? size : 0;
        if (type == 5)
            miniStreamSize_ = size;
    }

    if (miniStreamSize_ > 0) {
        miniStreamSectors_ = follow(fat_, sectorCount_, nodes_[0].start,
                                    divideUp(miniStreamSize_, sectorSize_), true, "mini stream");
    }
}

// Finds each storage's entries by walking its tree, depth first without
// recursion; an entry met twice means a loop or an entry in two places.
void Reader::linkTree() {
    children_.resize(nodes_.size());
    nodes_[0].reached = true;
    std::vector<uint32_t> storages{0}, pending;
    while (!storages.empty()) {
        uint32_t storage = storages.back();
        storages.pop_back();
        std::vector<uint32_t>& members = children_[storage];
        if (nodes_[storage].child != kNoStream)
            pending.push_back(nodes_[storage].child);
        while (!pending.empty()) {
            uint32_t id = pending.back();
            pending.pop_back();
            if (id >= nodes_.size())
                fail("a directory tree link is out of range");
            Node& node = nodes_[id];
            if (node.reached)
                fail("the directory tree loops or holds an entry twice");
            if (!node.used)
                fail("the directory tree links to an unused entry");
            node.reached = true;
            members.push_back(id);
            if (node.left != kNoStream)
                pending.push_back(node.left);
            if (node.right != kNoStream)
                pending.push_back(node.right);
            if (node.entry.type == EntryType::Storage)
                storages.push_back(id);
        }
        std::sort(members.begin(), members.end(), [this](uint32_t a, uint32_t b) {
            int order = compareNames(nodes_[a].entry.name, nodes_[b].entry.name);
            return order != 0 ? order < 0 : a < b;
        });
    }
}

const Guid& Reader::rootClass() const {
    return nodes_[0].entry.clsid;
}

std::vector<Entry> Reader::children(uint32_t storageId) const {
    if (storageId >= nodes_.size() || !nodes_[storageId].reached ||
        nodes_[storageId].entry.type == EntryType::Stream)
        throw FormatError("compound file: entry " + std::to_string(storageId) +
                          " is not a storage");
    std::vector<Entry> entries;
    entries.reserve(children_[storageId].size());
    for (uint32_t id : children_[storageId])
        entries.push_back(nodes_[id].entry);
    return entries;
}

std::optional<Entry> Reader::find(const std::u16string& name, uint32_t storageId) const {
    for (const Entry& entry : children(storageId))
        if (entry.name == name)
            return entry;
    return std::nullopt;
}

std::string Reader::shown(const std::u16string& name) const {
    return nameText_ ? nameText_(name) : printable(name);
}

void Reader::walk(const Node& node, const std::function<void(uint64_t, size_t)>& visit) const {
    const uint64_t size = node.entry.size;
    if (size == 0)
        return;
    const std::string what =
        "stream " + shown(node.entry.name) + " (" + std::to_string(size) + " bytes)";
    const bool mini = size < kMiniStreamCutoff;
    const uint32_t unit = mini ? kMiniSectorSize : sectorSize_;
    const std::vector<uint32_t> chain =
        mini ? follow(miniFat_, divideUp(miniStreamSize_, kMiniSectorSize), node.start,
                      divideUp(size, unit), true, what)
             : follow(fat_, sectorCount_, node.start, divideUp(size, unit), true, what);
    uint64_t left = size;
    for (uint32_t number : chain) {
        uint64_t at = (static_cast<uint64_t>(number) + 1) * sectorSize_;
        if (mini) {
            // The mini stream's sectors hold whole mini sectors: 64 divides
            // the sector size.
            uint64_t offset = static_cast<uint64_t>(number) * kMiniSectorSize;
            uint32_t container = miniStreamSectors_[static_cast<size_t>(offset / sectorSize_)];
            at = (static_cast<uint64_t>(container) + 1) * sectorSize_ + offset % sectorSize_;
        }
        // The file's last sector may be cut short.
        size_t count = static_cast<size_t>(std::min<uint64_t>(unit, left));
        if (at + count > file_.size)
            fail(what + " lies beyond the end of the file");
        visit(at, count);
        left -= count;
    }
}

common::Bytes Reader::read(const Entry& stream) const {
    if (stream.id >= nodes_.size() || !nodes_[stream.id].reached ||
        nodes_[stream.id].entry.type != EntryType::Stream)
        throw FormatError("compound file: entry " + std::to_string(stream.id) + " is not a stream");
    // The file's own record, not the caller's copy, says where the bytes are;
    // its size is within the file's.
    const Node& node = nodes_[stream.id];
    common::Bytes bytes(static_cast<size_t>(node.entry.size));
    size_t done = 0;
    walk(node, [&](uint64_t at, size_t count) {
        std::memcpy(bytes.data() + done, file_.data + at, count);
        done += count;
    });
    return bytes;
}

void Reader::checkStreams() const {
    for (const Node& node : nodes_)
        if (node.reached && node.entry.type == EntryType::Stream)
            walk(node, [](uint64_t, size_t) {});
}

} // namespace compound_file
