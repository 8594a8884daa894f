#include "pe/resources.h"

#include <map>
#include <set>

#include "common/ascii.h"

using common::ByteView;
using common::readLe16;
using common::readLe32;

namespace pe {

namespace {

const size_t directoryHeaderSize = 16, directoryEntrySize = 8, dataEntrySize = 16;
const uint32_t highBit = 0x80000000u;

[[noreturn]] void broken(const std::string& why) {
    throw common::FormatError(why);
}

} // namespace

ResourceName resourceName(const char* ascii) {
    ResourceName result;
    for (const char* c = ascii; *c; ++c)
        result.name.push_back(static_cast<char16_t>(common::upperAscii(*c)));
    return result;
}

bool operator==(const ResourceName& a, const ResourceName& b) {
    return a.isName() == b.isName() && (a.isName() ? a.name == b.name : a.id == b.id);
}

bool operator<(const ResourceName& a, const ResourceName& b) {
    if (a.isName() != b.isName())
        return a.isName();
    return a.isName() ? a.name < b.name : a.id < b.id;
}

Image::Image(ByteView file) : file_(file), headers_(readHeaders(file)) {
    checkExtents();
    readResources();
}

// The headers are read once, by readHeaders; what they point to must lie in
// the file.
void Image::checkExtents() const {
    for (const Section& s : headers_.sections)
        if (s.rawSize != 0 && !inside(s.rawOffset, s.rawSize, file_.size))
            broken("a section's data lies out of the file");
    DataDirectory certificates = headers_.directory(certificateDirectory);
    if (certificates.size != 0 && !inside(certificates.address, certificates.size, file_.size))
        broken("certificate table out of the file");
}

ByteView Image::at(uint32_t rva, uint32_t size, const char* what) const {
    for (const Section& s : headers_.sections)
        if (rva >= s.virtualAddress && inside(rva - s.virtualAddress, size, s.held()))
            return file_.slice(s.rawOffset + (rva - s.virtualAddress), size);
    broken(std::string(what) + " out of the file's sections");
}

void Image::readResources() {
    const std::vector<Section>& sections = headers_.sections;
    uint32_t rva = headers_.directory(resourceDirectory).address;
    if (rva == 0)
        return;
    for (size_t i = 0; i < sections.size() && resourceSection_ < 0; ++i)
        if (rva >= sections[i].virtualAddress &&
            rva - sections[i].virtualAddress < sections[i].rawSize)
            resourceSection_ = static_cast<int>(i);
    if (resourceSection_ < 0)
        broken("the resource directory lies out of the file's sections");
    const Section& s = sections[static_cast<size_t>(resourceSection_)];
    // Offsets in the tree count from the directory; it may use the rest of
    // its section.
    uint32_t start = rva - s.virtualAddress;
    if (start >= s.held())
        broken("the resource directory lies out of the file's sections");
    ByteView tree = file_.slice(s.rawOffset + start, s.held() - start);

    // Directory tables may not overlap: each entry then costs its own 8
    // bytes, which bounds the leaves by the section's size. The names copied
    // into the leaves are bounded by the same bytes.
    std::map<uint32_t, uint32_t> claimed; // table start -> end
    uint64_t claimedBytes = 0, nameUnits = 0;
    auto claim = [&](uint32_t offset, uint32_t end) {
        auto next = claimed.lower_bound(offset);
        if ((next != claimed.end() && next->first < end) ||
            (next != claimed.begin() && std::prev(next)->second > offset))
            broken("resource directory tables overlap or repeat");
        claimed.emplace(offset, end);
        claimedBytes += end - offset;
    };
    auto readName = [&](uint32_t field) {
        ResourceName result;
        if (!(field & highBit)) {
            if (field > 0xFFFF)
                broken("resource id beyond 16 bits");
            result.id = static_cast<uint16_t>(field);
            return result;
        }
        uint32_t offset = field & ~highBit;
        if (!inside(offset, 2, tree.size))
            broken("resource name out of the section");
        uint16_t length = readLe16(tree.data + offset);
        if (length == 0 || !inside(offset + 2, 2u * length, tree.size))
            broken("resource name empty or out of the section");
        for (uint16_t i = 0; i < length; ++i)
            result.name.push_back(static_cast<char16_t>(readLe16(tree.data + offset + 2 + 2 * i)));
        return result;
    };
    // The entries of the table at `offset`, each checked to be new in it.
    auto readTable = [&](uint32_t offset) {
        if (!inside(offset, directoryHeaderSize, tree.size))
            broken("resource directory out of the section");
        uint32_t count =
            uint32_t(readLe16(tree.data + offset + 12)) + readLe16(tree.data + offset + 14);
        uint64_t end =
            uint64_t(offset) + directoryHeaderSize + uint64_t(count) * directoryEntrySize;
        if (end > tree.size)
            broken("resource directory entries out of the section");
        claim(offset, static_cast<uint32_t>(end));
        std::vector<std::pair<ResourceName, uint32_t>> entries;
        std::set<std::u16string> names;
        std::set<uint16_t> ids;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = tree.data + offset + directoryHeaderSize + i * directoryEntrySize;
            ResourceName name = readName(readLe32(e));
            bool fresh =
                name.isName() ? names.insert(name.name).second : ids.insert(name.id).second;
            if (!fresh)
                broken("a resource name or id repeats in one directory");
            entries.emplace_back(std::move(name), readLe32(e + 4));
        }
        return entries;
    };
    auto subdirectory = [&](uint32_t target) {
        if (!(target & highBit))
            broken("resource tree is not type, name and language");
        return target & ~highBit;
    };

    for (auto& type : readTable(0)) {
        for (auto& name : readTable(subdirectory(type.second))) {
            for (auto& language : readTable(subdirectory(name.second))) {
                if (language.first.isName() || (language.second & highBit))
                    broken("resource tree is not type, name and language");
                uint32_t entry = language.second;
                if (!inside(entry, dataEntrySize, tree.size))
                    broken("resource data entry out of the section");
                nameUnits += type.first.name.size() + name.first.name.size();
                if (nameUnits > 8 * claimedBytes + 4096)
                    broken("resource names repeat beyond reason");
                Resource r;
                r.type = type.first;
                r.name = name.first;
                r.language = language.first.id;
                r.codePage = readLe32(tree.data + entry + 8);
                r.data = at(readLe32(tree.data + entry), readLe32(tree.data + entry + 4),
                            "resource data");
                resources_.push_back(std::move(r));
            }
        }
    }
}

const Resource* Image::find(const ResourceName& type, const ResourceName& name,
                            uint16_t language) const {
    for (const Resource& r : resources_)
        if (r.type == type && r.name == name && r.language == language)
            return &r;
    return nullptr;
}

} // namespace pe
