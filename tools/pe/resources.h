#pragma once
// A Windows program (PE32 or PE32+) and its resources, read without the
// system: setup-pack reads the stub's and a packed setup's resources on any
// host. (pe/image_writer.h writes a copy with new ones.)
#include <cstdint>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"
#include "pe/image.h"

namespace pe {

// A resource type or name: an id, or a name (upper-case, as the loader
// looks names up). An empty name means the id.
struct ResourceName {
    uint16_t id = 0;
    std::u16string name;
    bool isName() const { return !name.empty(); }
};

inline ResourceName resourceId(uint16_t id) {
    return {id, {}};
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
    // Throws NotAProgram (pe/image.h) for bytes without PE headers and
    // common::FormatError for an image whose headers, sections or resource
    // tree are broken: offsets or sizes out of the file, a directory reached
    // twice (a loop or a shared table), a tree that is not
    // type/name/language, a name or id twice in one directory.
    // Never crashes, and allocates no more than a small multiple of the
    // file's size, on any input. An image without resources has none.
    explicit Image(common::ByteView file);

    const std::vector<Resource>& resources() const { return resources_; } // leaves, in tree order
    // The resource of exactly this type, name and language, or null. A name
    // is compared as given: pass it upper-case, as the loader stores it.
    const Resource* find(const ResourceName& type, const ResourceName& name,
                         uint16_t language) const;
    const Headers& headers() const { return headers_; }
    // The certificate table's size; 0: not signed.
    uint32_t certificateSize() const { return headers_.directory(certificateDirectory).size; }

  private:
    friend class ImageWriter;
    common::ByteView file_;
    Headers headers_;
    int resourceSection_ = -1; // index into headers_.sections; -1: no resources
    std::vector<Resource> resources_;

    void checkExtents() const;
    void readResources();
    // The file bytes at this RVA, `size` long, all inside one section's raw
    // data; throws, naming `what`, when they are not.
    common::ByteView at(uint32_t rva, uint32_t size, const char* what) const;
};

} // namespace pe
