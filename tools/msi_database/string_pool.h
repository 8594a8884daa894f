#pragma once
// The string pool of databases and transforms: `_StringPool` holds a header
// (the code page, and bit 31 when references take 3 bytes) and one entry per
// id from 1 (a 16-bit length and a 16-bit reference count; a string of 64
// KiB or more has length 0 and its 32-bit length in the next entry),
// `_StringData` the strings' bytes one after another.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "common/format_error.h"

namespace msi_database {

// A pool as read: strings decoded from its code page when first asked for.
class StringPool {
  public:
    // Throws FormatError for entries that are no whole number, or lengths
    // past the data.
    StringPool(common::ByteView entries, common::Bytes data);

    uint32_t codePage() const { return codePage_; }
    int refBytes() const { return refBytes_; }
    size_t size() const { return spans_.size(); } // ids, with 0 (null)

    // The string of an id below size(); empty for 0. Throws FormatError for
    // bytes that are no text of the code page (a code page we do not know
    // still holds ASCII).
    const std::u16string& text(uint32_t id) { return *shared(id); }
    // The same string, for the cells that refer to it to hold: they share
    // the pool's strings, which live as long as one of them does.
    std::shared_ptr<const std::u16string> shared(uint32_t id);

  private:
    common::Bytes data_;
    uint32_t codePage_ = 0;
    int refBytes_ = 2;
    std::vector<std::pair<size_t, size_t>> spans_; // by id: offset, length
    // By id, each decoded when first asked for; never resized, so what a
    // cell points to stays where it is.
    std::shared_ptr<std::vector<std::u16string>> texts_;
    std::vector<uint8_t> decoded_;
};

// A pool being written: each distinct non-empty string gets one id (from
// 1, in the order first referenced) and counts every reference to it.
// Strings are the bytes of the code page, converted by the caller.
class StringPoolWriter {
  public:
    explicit StringPoolWriter(uint32_t codePage) : codePage_(codePage) {}
    // The id of `bytes` after counting one more reference; 0 for empty.
    uint32_t reference(const std::string& bytes);
    // References take 3 bytes once ids pass 65,535.
    int referenceBytes() const { return strings_.size() > 0xFFFF ? 3 : 2; }
    // `_StringPool`: in a multi-byte code page, an entry whose string has a
    // byte >= 0x80 has bit 15 of its count set.
    common::Bytes poolStream() const;
    common::Bytes dataStream() const; // `_StringData`

  private:
    uint32_t codePage_;
    std::map<std::string, uint32_t> ids_;
    std::vector<const std::string*> strings_; // by id - 1
    std::vector<uint32_t> counts_;
};

} // namespace msi_database
