#pragma once
// A copy of a Windows program (PE32 or PE32+) with new resources, written
// without the system: setup-pack fills a copy of the stub on any host,
// giving the same bytes everywhere.
#include <cstdint>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"
#include "pe/resources.h"

namespace pe {

// The image being written: the stub's bytes plus the resources to set.
class ImageWriter {
  public:
    // Keeps the stub's view. Throws common::FormatError for a stub it cannot
    // rewrite: signed; without a resource section of its own; with a section
    // after the resources that is not discardable or that another directory
    // than the base relocations points into; with base relocations that are
    // broken, of a kind it does not know, or that adjust the resources or
    // what follows them (those bytes are replaced or move); with alignments
    // the loader does not take.
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
    // with the directories into them, SizeOfImage, SizeOfInitializedData
    // and the checksum updated. Views point into the stub or into the data
    // given to setResource (no copy of those); small parts (headers, the new
    // resource directory, padding) are owned. The same stub and resources
    // give the same bytes. Throws common::FormatError when the result would
    // not fit a 32-bit image size (4 GiB; PE32+ has the same 32-bit fields).
    struct Piece {
        common::Bytes owned;
        common::ByteView view;
        bool isView = false;
        size_t size() const { return isView ? view.size : owned.size(); }
        const uint8_t* data() const { return isView ? view.data : owned.data(); }
    };
    std::vector<Piece> build() const;
    // The same pieces with the checksum field left 0, for a caller that sums
    // them (peChecksum) while it writes them and puts the checksum in at the
    // end: a large package is then read once for both. The first piece holds
    // the whole headers up to the section table's end (readPeLayout finds
    // the field in it).
    std::vector<Piece> buildWithoutChecksum() const;

  private:
    Image stub_;
    std::vector<Resource> resources_; // sorted by type, name, language

    void checkRelocations() const;
};

} // namespace pe
