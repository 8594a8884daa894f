// The stub rewritten with a new resource section: everything before it kept
// byte for byte, the discardable sections after it (.reloc) moved. PE32 and
// PE32+ differ in nothing the writer changes: the fields it sets lie at the
// same offsets in both optional headers, and the directories' place comes
// from the headers as read.
#include "pe/image_writer.h"

#include <algorithm>
#include <tuple>

#include "common/ascii.h"

#include "pe/checksum.h"
#include "pe/image.h"

using common::appendLe16;
using common::appendLe32;
using common::ByteView;
using common::putLe16;
using common::putLe32;
using common::readLe16;
using common::readLe32;

namespace pe {

namespace {

const uint32_t discardable = 0x02000000, initializedData = 0x00000040;
const uint32_t highBit = 0x80000000u;
const uint64_t dataAlignment = 8;

[[noreturn]] void refuse(const std::string& why) {
    throw common::FormatError(why);
}

uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

bool powerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

bool keyLess(const Resource& a, const Resource& b) {
    return std::tie(a.type, a.name, a.language) < std::tie(b.type, b.name, b.language);
}

ResourceName storedName(const ResourceName& given) {
    ResourceName result = given;
    if (result.name.size() > 0xFFFF)
        refuse("a resource name longer than 65535 characters");
    for (char16_t& unit : result.name) {
        if (unit >= 0x80)
            refuse("a resource name beyond ASCII cannot be stored as the loader looks it up");
        unit = common::upperAscii(unit);
    }
    return result;
}

} // namespace

ImageWriter::ImageWriter(const Image& stub) : stub_(stub), resources_(stub.resources()) {
    std::sort(resources_.begin(), resources_.end(), keyLess); // the image has no key twice
    const Headers& h = stub_.headers_;
    if (stub_.certificateSize() != 0)
        refuse("the program is signed; rewriting it would break its signature");
    if (stub_.resourceSection_ < 0)
        refuse("the program has no resource section");
    size_t index = static_cast<size_t>(stub_.resourceSection_);
    const Section& rsrc = h.sections[index];
    // The loader takes file alignments up to 64 KiB, no larger than the
    // section alignment.
    if (!powerOfTwo(h.sectionAlignment) || !powerOfTwo(h.fileAlignment) ||
        h.fileAlignment > h.sectionAlignment || h.fileAlignment > 0x10000)
        refuse("the program's alignments are not ones the loader takes");
    if (h.directory(resourceDirectory).address != rsrc.virtualAddress)
        refuse("the resource directory does not start its section");
    if (rsrc.rawOffset % h.fileAlignment != 0 || rsrc.rawSize % h.fileAlignment != 0 ||
        rsrc.virtualAddress % h.sectionAlignment != 0 || rsrc.rawOffset < h.sectionTableEnd)
        refuse("the resource section is not aligned as the headers say");
    uint64_t rawEnd = uint64_t(rsrc.rawOffset) + rsrc.rawSize;
    for (size_t i = 0; i < h.sections.size(); ++i) {
        const Section& s = h.sections[i];
        bool after = i > index;
        if (after && !(s.characteristics & discardable))
            refuse("a section that is not discardable follows the resources");
        // The loader takes sections in the order of their addresses; one
        // before the resources at a higher address would meet the grown
        // resources or what moves after them.
        if (i > 0 && s.virtualAddress <= h.sections[i - 1].virtualAddress)
            refuse("the sections are not in the order of their addresses");
        if (after && s.virtualAddress % h.sectionAlignment != 0)
            refuse("the sections after the resources are out of order");
        if (s.rawSize != 0 && i != index &&
            (after ? s.rawOffset < rawEnd : s.rawOffset + uint64_t(s.rawSize) > rsrc.rawOffset))
            refuse("the sections' data is not in the order of the section table");
    }
    // Only the base relocations may point into what moves, and nothing into
    // what is replaced.
    uint32_t following =
        index + 1 < h.sections.size() ? h.sections[index + 1].virtualAddress : 0xFFFFFFFFu;
    for (uint32_t i = 0; i < h.directories.size(); ++i) {
        uint32_t rva = h.directories[i].address;
        if (i == resourceDirectory || i == certificateDirectory || rva < rsrc.virtualAddress)
            continue;
        if (i != relocationDirectory || rva < following)
            refuse("a data directory points into the resources or a section after them");
    }
    if (h.entryPoint >= rsrc.virtualAddress)
        refuse("the program starts after its resources");
    checkRelocations();
}

// The base relocations are blocks of a page's RVA and 16-bit entries, each
// a kind (4 bits) and an offset in the page (12 bits): the places the
// loader adjusts when it maps the image elsewhere (HIGHLOW, 4 bytes, in
// PE32; DIR64, 8 bytes, in PE32+). The blocks name places, never their own
// position, so moving the section that holds them keeps them valid as long
// as every place lies before the resources, which stay where they are and
// keep everything before them. A place in the resources or after them
// would be replaced or moved: such a stub is refused.
void ImageWriter::checkRelocations() const {
    const Headers& h = stub_.headers_;
    DataDirectory relocations = h.directory(relocationDirectory);
    if (relocations.size == 0)
        return;
    ByteView table = stub_.at(relocations.address, relocations.size, "the base relocations");
    const uint64_t limit = h.sections[static_cast<size_t>(stub_.resourceSection_)].virtualAddress;
    for (size_t block = 0; table.size - block >= 8;) {
        uint32_t page = readLe32(table.data + block), size = readLe32(table.data + block + 4);
        if (size < 8 || size % 2 != 0 || size > table.size - block)
            refuse("the base relocations are broken: a block runs past them or is too short");
        for (size_t at = block + 8; at + 2 <= block + size; at += 2) {
            uint16_t entry = readLe16(table.data + at);
            // The bytes each kind adjusts: HIGH and LOW 2, HIGHLOW 4, HIGHADJ
            // 2, DIR64 8; 0 for the kinds this writer does not know.
            static const uint8_t widths[16] = {0, 2, 2, 4, 2, 0, 0, 0, 0, 0, 8};
            const unsigned kind = entry >> 12;
            if (kind == 0) // padding
                continue;
            const uint64_t width = widths[kind];
            if (width == 0)
                refuse("a base relocation of a kind this writer does not know");
            if (kind == 4) // HIGHADJ: the next entry is its operand, no place
                at += 2;
            if (uint64_t(page) + (entry & 0xFFF) + width > limit)
                refuse("a base relocation adjusts the resources or what follows them");
        }
        block += size;
    }
}

void ImageWriter::setResource(const ResourceName& type, const ResourceName& name, uint16_t language,
                              ByteView data) {
    Resource r;
    r.type = storedName(type);
    r.name = storedName(name);
    r.language = language;
    r.data = data;
    auto at = std::lower_bound(resources_.begin(), resources_.end(), r, keyLess);
    if (at != resources_.end() && !keyLess(r, *at)) // the same key
        *at = r;
    else
        resources_.insert(at, r);
}

std::vector<ImageWriter::Piece> ImageWriter::buildWithoutChecksum() const {
    const std::vector<Resource>& sorted = resources_;

    // The tree's shape: one table per type, per name; where each table and
    // name string lies in the new section.
    struct Group {
        const ResourceName* key; // the type or the name
        size_t first;            // its first leaf
        size_t entries;          // in its table: the names of a type, the languages of a name
        uint64_t tableAt = 0, stringAt = 0;
    };
    std::vector<Group> types, names;
    for (size_t i = 0; i < sorted.size(); ++i) {
        bool newType = i == 0 || sorted[i].type != sorted[i - 1].type;
        if (newType)
            types.push_back({&sorted[i].type, i, 0});
        if (newType || sorted[i].name != sorted[i - 1].name) {
            names.push_back({&sorted[i].name, i, 0});
            if (++types.back().entries > 0xFFFF)
                refuse("too many resources of one type");
        }
        ++names.back().entries;
    }
    auto tableSize = [](size_t entries) { return 16 + 8 * uint64_t(entries); };
    // Tables: the root, the types' name tables, the names' language tables;
    // then the name strings of the types and of the names.
    uint64_t tablesEnd = tableSize(types.size());
    for (std::vector<Group>* groups : {&types, &names})
        for (Group& g : *groups) {
            g.tableAt = tablesEnd;
            tablesEnd += tableSize(g.entries);
        }
    uint64_t offset = tablesEnd;
    for (std::vector<Group>* groups : {&types, &names})
        for (Group& g : *groups)
            if (g.key->isName()) {
                g.stringAt = offset;
                offset += 2 + 2 * uint64_t(g.key->name.size());
            }
    // The data entries, then the data.
    uint64_t dataEntries = alignUp(offset, dataAlignment);
    uint64_t dataStart = alignUp(dataEntries + 16 * uint64_t(sorted.size()), dataAlignment);
    std::vector<uint64_t> dataAt;
    uint64_t contentEnd = dataStart;
    for (const Resource& r : sorted) {
        contentEnd = alignUp(contentEnd, dataAlignment);
        dataAt.push_back(contentEnd);
        contentEnd += r.data.size;
    }

    // The new layout of the sections.
    const Headers& h = stub_.headers_;
    const std::vector<Section>& sections = h.sections;
    const size_t index = static_cast<size_t>(stub_.resourceSection_);
    const Section& rsrc = sections[index];
    uint64_t rawSize = alignUp(contentEnd, h.fileAlignment);
    uint64_t virtualEnd = alignUp(rsrc.virtualAddress + contentEnd, h.sectionAlignment);
    int64_t fileDelta = int64_t(rawSize) - int64_t(rsrc.rawSize);
    int64_t virtualDelta =
        index + 1 < sections.size() ? int64_t(virtualEnd) - sections[index + 1].virtualAddress : 0;
    uint64_t oldRawEnd = uint64_t(rsrc.rawOffset) + rsrc.rawSize;
    int64_t fileEnd = int64_t(stub_.file_.size) + fileDelta;
    if (virtualEnd > 0xFFFFFFFFu || fileEnd > 0xFFFFFFFF)
        refuse("the resources make the program larger than 4 GiB");

    // Headers.
    Piece headers;
    headers.owned.assign(stub_.file_.data, stub_.file_.data + h.sectionTableEnd);
    uint8_t* head = headers.owned.data();
    uint64_t imageSize = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        Section s = sections[i];
        if (i == index) {
            s.virtualSize = static_cast<uint32_t>(contentEnd);
            s.rawSize = static_cast<uint32_t>(rawSize);
        } else if (i > index) {
            s.virtualAddress = static_cast<uint32_t>(s.virtualAddress + virtualDelta);
            if (s.rawSize != 0)
                s.rawOffset = static_cast<uint32_t>(s.rawOffset + fileDelta);
        }
        putLe32(head + s.headerOffset + 8, s.virtualSize);
        putLe32(head + s.headerOffset + 12, s.virtualAddress);
        putLe32(head + s.headerOffset + 16, s.rawSize);
        putLe32(head + s.headerOffset + 20, s.rawOffset);
        uint64_t extent = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
        imageSize = std::max(imageSize, alignUp(s.virtualAddress + extent, h.sectionAlignment));
    }
    if (imageSize > 0xFFFFFFFFu)
        refuse("the resources make the program larger than 4 GiB");
    putLe32(head + h.optionalHeader + field::sizeOfImage, static_cast<uint32_t>(imageSize));
    if (rsrc.characteristics & initializedData) {
        uint8_t* initializedSize = head + h.optionalHeader + field::sizeOfInitializedData;
        int64_t initialized = int64_t(readLe32(initializedSize)) + fileDelta;
        putLe32(initializedSize, static_cast<uint32_t>(std::min<int64_t>(
                                     std::max<int64_t>(initialized, 0), 0xFFFFFFFF)));
    }
    putLe32(head + h.directoryOffset(resourceDirectory) + 4, static_cast<uint32_t>(contentEnd));
    DataDirectory relocations = h.directory(relocationDirectory);
    if (relocations.address >= rsrc.virtualAddress && relocations.address != 0)
        putLe32(head + h.directoryOffset(relocationDirectory),
                static_cast<uint32_t>(relocations.address + virtualDelta));
    // A COFF symbol table after the resources moves with the file.
    uint32_t symbols = readLe32(head + h.fileHeader + 8);
    if (symbols != 0 && symbols >= oldRawEnd)
        putLe32(head + h.fileHeader + 8, static_cast<uint32_t>(symbols + fileDelta));
    putLe32(head + h.checksumOffset, 0);

    // The tree.
    Piece tree;
    common::Bytes& out = tree.owned;
    // A table's header (characteristics, time stamp, version: none) with its
    // counts left for setCounts.
    auto table = [&]() {
        out.resize(out.size() + 16, 0);
        return out.size() - 4;
    };
    auto setCounts = [&](size_t at, uint16_t namedCount, uint16_t idCount) {
        putLe16(out.data() + at, namedCount);
        putLe16(out.data() + at + 2, idCount);
    };
    auto entry = [&](const ResourceName& name, uint64_t stringAt, uint32_t target) {
        appendLe32(out, name.isName() ? static_cast<uint32_t>(stringAt) | highBit : name.id);
        appendLe32(out, target);
    };
    if (tablesEnd >= highBit || offset >= highBit)
        refuse("the resource tree is too large");
    if (types.size() > 0xFFFF)
        refuse("too many resource types");
    // A table of `count` types or names from `groups`.
    auto nameTable = [&](const Group* groups, size_t count) {
        size_t counts = table();
        uint16_t named = 0;
        for (const Group* g = groups; g != groups + count; ++g) {
            named += g->key->isName();
            entry(*g->key, g->stringAt, static_cast<uint32_t>(g->tableAt) | highBit);
        }
        setCounts(counts, named, static_cast<uint16_t>(count - named));
    };
    nameTable(types.data(), types.size());
    size_t namesDone = 0;
    for (const Group& t : types) {
        nameTable(names.data() + namesDone, t.entries);
        namesDone += t.entries;
    }
    for (const Group& n : names) {
        if (n.entries > 0xFFFF)
            refuse("too many languages of one resource");
        size_t counts = table();
        for (size_t i = n.first; i < n.first + n.entries; ++i)
            entry(resourceId(sorted[i].language), 0, static_cast<uint32_t>(dataEntries + 16 * i));
        setCounts(counts, 0, static_cast<uint16_t>(n.entries));
    }
    if (out.size() != tablesEnd)
        refuse("internal: the resource tables came out of their layout");
    auto string = [&](const std::u16string& text) {
        appendLe16(out, static_cast<uint16_t>(text.size()));
        for (char16_t unit : text)
            appendLe16(out, unit);
    };
    for (const std::vector<Group>* groups : {&types, &names})
        for (const Group& g : *groups)
            if (g.key->isName())
                string(g.key->name);
    out.resize(static_cast<size_t>(dataEntries), 0);
    for (size_t i = 0; i < sorted.size(); ++i) {
        appendLe32(out, static_cast<uint32_t>(rsrc.virtualAddress + dataAt[i]));
        appendLe32(out, static_cast<uint32_t>(sorted[i].data.size));
        appendLe32(out, sorted[i].codePage);
        appendLe32(out, 0);
    }
    out.resize(static_cast<size_t>(dataStart), 0);

    std::vector<Piece> pieces;
    pieces.push_back(std::move(headers));
    auto view = [&](ByteView bytes) {
        if (bytes.size == 0)
            return;
        Piece piece;
        piece.view = bytes;
        piece.isView = true;
        pieces.push_back(piece);
    };
    auto zeros = [&](uint64_t count) {
        if (count == 0)
            return;
        if (!pieces.empty() && !pieces.back().isView) {
            pieces.back().owned.resize(pieces.back().owned.size() + count, 0);
            return;
        }
        Piece piece;
        piece.owned.assign(static_cast<size_t>(count), 0);
        pieces.push_back(std::move(piece));
    };
    view(stub_.file_.slice(h.sectionTableEnd, rsrc.rawOffset - h.sectionTableEnd));
    pieces.push_back(std::move(tree));
    uint64_t written = dataStart;
    for (size_t i = 0; i < sorted.size(); ++i) {
        zeros(dataAt[i] - written);
        view(sorted[i].data);
        written = dataAt[i] + sorted[i].data.size;
    }
    zeros(rawSize - written);
    // The sections after the resources and anything after the last one.
    view(stub_.file_.slice(static_cast<size_t>(oldRawEnd),
                           static_cast<size_t>(stub_.file_.size - oldRawEnd)));

    return pieces;
}

std::vector<ImageWriter::Piece> ImageWriter::build() const {
    std::vector<Piece> pieces = buildWithoutChecksum();
    std::vector<ByteView> parts;
    for (const Piece& piece : pieces)
        parts.emplace_back(piece.data(), piece.size());
    // The headers were copied: the field lies where it lay in the stub.
    const size_t checksumAt = stub_.headers_.checksumOffset;
    putLe32(pieces.front().owned.data() + checksumAt,
            peChecksum(parts.data(), parts.size(), checksumAt));
    return pieces;
}

} // namespace pe
