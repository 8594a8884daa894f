#pragma once
// The resources of a Windows program (PE32 or PE32+), read and rewritten
// without the system: setup-pack reads the stub's and a packed setup's
// resources and writes a copy of the stub that carries new ones, on any
// host, giving the same bytes everywhere.
#include <cstdint>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"

namespace pe {

// A resource type or name: an id, or a name (upper-case, as the loader
// looks names up). An empty name means the id.
struct ResourceName {
    uint16_t id = 0;
    std::u16string name;
    bool isName() const { return !name.empty(); }
};

inline ResourceName resourceId(uint16_t id) {
    ResourceName result;
    result.id = id;
    return result;
}
// A name of ASCII characters as the loader stores it: a-z upper-cased.
ResourceName resourceName(const char* ascii);

bool operator==(const ResourceName& a, const ResourceName& b);
inline bool operator!=(const ResourceName& a, const ResourceName& b) {
    return !(a == b);
}
// The loader's order in one directory: names first, by their UTF-16 code
// units (a shorter prefix first), then ids ascending.
bool operator<(const ResourceName& a, const ResourceName& b);

struct Resource {
    ResourceName type, name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    common::ByteView data; // into the image's bytes
};

class ImageWriter;

// A PE32 or PE32+ image over bytes that outlive it.
class Image {
  public:
    // Throws common::FormatError for anything that is no PE image or whose
    // headers, sections or resource tree are broken: offsets or sizes out of
    // the file, a directory reached twice (a loop or a shared table), a tree
    // that is not type/name/language, a name or id twice in one directory.
    // Never crashes, and allocates no more than a small multiple of the
    // file's size, on any input. An image without resources has none.
    explicit Image(common::ByteView file);

    const std::vector<Resource>& resources() const { return resources_; } // leaves, in tree order
    // The resource of exactly this type, name and language, or null. A name
    // is compared as given: pass it upper-case, as the loader stores it.
    const Resource* find(const ResourceName& type, const ResourceName& name,
                         uint16_t language) const;
    uint32_t certificateSize() const { return certificateSize_; } // 0: not signed

  private:
    friend class ImageWriter;
    struct Section {
        uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
        uint32_t characteristics = 0;
        size_t headerOffset = 0; // of its 40-byte entry in the section table
    };

    common::ByteView file_;
    size_t optionalHeader_ = 0, optionalHeaderSize_ = 0, directories_ = 0;
    uint32_t directoryCount_ = 0;
    size_t sectionTableEnd_ = 0;
    bool plus_ = false; // PE32+
    std::vector<Section> sections_;
    int resourceSection_ = -1; // index into sections_; -1: no resources
    uint32_t certificateSize_ = 0;
    std::vector<Resource> resources_;

    void readHeaders();
    void readResources();
    // The file bytes at this RVA, `size` long, all inside one section's raw
    // data; throws when they are not.
    common::ByteView at(uint32_t rva, uint32_t size) const;
};

// The image being written: the stub's bytes plus the resources to set.
class ImageWriter {
  public:
    // Keeps the stub's view. Throws common::FormatError for a stub it cannot
    // rewrite: signed; without a resource section of its own; with a section
    // after the resources that is not discardable or that another directory
    // than the base relocations points into; with alignments the loader
    // does not take.
    explicit ImageWriter(const Image& stub);

    // Adds or replaces the resource (type, name, language). `data` must
    // outlive build()'s pieces. A name is stored upper-case as the loader
    // expects (a-z); a name with characters beyond ASCII is refused
    // (common::FormatError), as its upper case is the system's to decide.
    void setResource(const ResourceName& type, const ResourceName& name, uint16_t language,
                     common::ByteView data);

    // The new file as pieces in file order: their concatenation is the
    // output, with the true PE checksum already in the header piece. It keeps
    // everything of the stub but the resource section, which holds the
    // stub's resources and the ones set (sorted as the loader expects, each
    // 8-byte aligned); the discardable sections after it (.reloc) move,
    // with the directories into them, SizeOfImage and the checksum updated.
    // Views point into the stub or into the data given to setResource (no
    // copy of those); small parts (headers, the new resource directory,
    // padding) are owned. The same stub and resources give the same bytes.
    // Throws common::FormatError when the result would not fit a 32-bit
    // image (4 GiB).
    struct Piece {
        common::Bytes owned;
        common::ByteView view;
        bool isView = false;
        size_t size() const { return isView ? view.size : owned.size(); }
        const uint8_t* data() const { return isView ? view.data : owned.data(); }
    };
    std::vector<Piece> build() const;

  private:
    Image stub_;
    std::vector<Resource> resources_; // sorted by type, name, language
};

} // namespace pe
