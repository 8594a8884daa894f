#pragma once
// OLE compound files ("structured storage"), the container of installer
// databases and transforms, read and written without any system call.
//
// Reader: parses a whole file held in memory (typically mapped) and gives its
// storages and streams. Every number in the file is checked before it is used:
// a broken or hostile file ends in common::FormatError, never in a crash, a
// hang or an allocation larger than the file.
//
// write(): a version 3 file (512-byte sectors) holding streams in its root
// storage, the same bytes for the same input on every platform.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"

namespace compound_file {

// How messages show an entry's name, in UTF-8. A format that packs its names
// into other characters gives its own, so that a refusal names a stream as
// the file's users know it; by default ASCII stays as it is and other units
// are shown as \uXXXX.
using NameText = std::string (*)(const std::u16string& name);

// A class id, in the byte order the file stores it.
struct Guid {
    uint8_t bytes[16] = {};
    bool operator==(const Guid& other) const;
    bool operator!=(const Guid& other) const { return !(*this == other); }
    // From the registry form "{000C1082-0000-0000-C000-000000000046}" (hex
    // digits in either case): the first three fields little-endian, the last
    // eight bytes as written. Throws FormatError on any other text.
    static Guid parse(const std::string& text);
    // The registry form, upper-case hex digits.
    std::string text() const;
};

enum class EntryType : uint8_t { Storage = 1, Stream = 2, Root = 5 };

struct Entry {
    uint32_t id = 0; // directory entry number; the root storage is 0
    std::u16string name;
    EntryType type = EntryType::Stream;
    Guid clsid;
    uint64_t size = 0; // streams
};

// The order of names in a storage: the shorter name first, names of one
// length by their upper-cased UTF-16 units (upper case of the Latin, Greek
// and Cyrillic letters, the same in every locale). Negative, zero, positive.
int compareNames(const std::u16string& a, const std::u16string& b);

// True when `file` starts with the compound-file signature: what tells a
// compound file from any other file before it is parsed.
bool hasSignature(common::ByteView file);

class Reader {
  public:
    // Parses header, DIFAT, FAT, mini FAT and the directory of `file`, which
    // must outlive the reader. Reads version 3 (512-byte sectors) and
    // version 4 (4096-byte sectors) files. Throws FormatError saying why for
    // a broken file: no signature, a bad sector size, a chain that loops or
    // leaves the file, a sector number out of range, a size beyond the file,
    // a directory tree that loops or shares an entry. Messages name entries
    // through `nameText` when given.
    explicit Reader(common::ByteView file, NameText nameText = nullptr);

    const Guid& rootClass() const;
    // The entries directly in storage `storageId` (0 = the root) in
    // compareNames order. Throws FormatError if the id is not a storage.
    std::vector<Entry> children(uint32_t storageId = 0) const;
    // The entry named exactly `name` (case counts) in that storage.
    std::optional<Entry> find(const std::u16string& name, uint32_t storageId = 0) const;
    // The whole stream; throws FormatError if its chain is broken or shorter
    // than its size, or if `stream` is not a stream of this file.
    common::Bytes read(const Entry& stream) const;
    // Follows the chain of every stream in the tree, in any storage, as
    // read() does but without copying a byte, so that a file whose streams
    // are not all whole is refused before any use: throws FormatError
    // naming the first stream whose chain is broken, shorter than its size
    // or leads past the end of the file. Time and memory grow with the
    // number of sectors, not with what they hold.
    void checkStreams() const;

  private:
    struct Node {
        Entry entry;
        bool used = false;    // a storage, a stream or the root
        bool reached = false; // in the tree under the root
        uint32_t left = 0, right = 0, child = 0, start = 0;
    };
    common::ByteView file_;
    NameText nameText_ = nullptr;
    uint32_t sectorSize_ = 512;
    uint32_t sectorCount_ = 0; // sectors starting inside the file
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::vector<uint32_t> miniStreamSectors_; // the root's chain, in order
    uint64_t miniStreamSize_ = 0;
    std::vector<Node> nodes_;
    std::vector<std::vector<uint32_t>> children_; // per storage, in compareNames order

    const uint8_t* sector(uint32_t number, const char* what) const;
    void readTables();
    void readDirectory(uint32_t firstSector, bool largeSizes);
    void linkTree();
    std::string shown(const std::u16string& name) const;
    // Where the bytes of `node`'s stream lie: visit(offset, count) for each
    // sector or mini sector of its chain, in order; throws as read() does.
    void walk(const Node& node, const std::function<void(uint64_t, size_t)>& visit) const;
};

struct StreamData {
    std::u16string name;
    common::Bytes bytes;
};

// A compound file whose root storage (class id `rootClass`) holds `streams`.
// Names are 1 to 31 UTF-16 units without '/', '\\', ':', '!' or U+0000, and
// unique under compareNames; otherwise FormatError. Version 3, 512-byte
// sectors; streams under 4096 bytes in 64-byte mini sectors; DIFAT sectors
// when the FAT needs more than 109 sectors (files over about 7 MB).
// Deterministic: no time stamps, the directory in compareNames order with
// the same balanced red-black tree for the same names, unused space zeroed.
common::Bytes write(const Guid& rootClass, const std::vector<StreamData>& streams);

} // namespace compound_file
