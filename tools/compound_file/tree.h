#pragma once
// A compound file's whole tree of storages and streams, read from a file and
// written as one, for files that hold storages (a package carrying its
// language transforms). The tree is flat: each entry names the storage it
// lies in by its index, so that no depth of nesting costs stack.
#include <cstddef>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "compound_file/compound_file.h"

namespace compound_file {

struct TreeEntry {
    std::u16string name;                // the root's is not written
    EntryType type = EntryType::Stream; // entry 0 is the Root, no other one
    Guid clsid;                         // the root's and storages'; streams have none
    common::Bytes bytes;                // streams
    size_t parent = 0;                  // the storage it lies in: an entry before it
};

// Every entry under the root, or under `storage` (an entry of `file`),
// breadth first: entry 0 that storage as a Root with its class id, then
// each storage's entries in compareNames order, so a parent comes before
// its entries. Throws FormatError for a stream that cannot be read or a
// `storage` that is none.
std::vector<TreeEntry> readTree(const Reader& file, const Entry* storage = nullptr);

// A version 3 file holding the tree, as write() lays out streams: names and
// sizes checked as there, unique under compareNames within each storage;
// each storage's entries a red-black tree of their own, balanced the same
// way for the same names; the directory in breadth-first order (the root's
// entries first, in name order), so a tree of streams alone gives write()'s
// bytes. Throws FormatError for a bad name, a stream over 2 GiB, an entry
// whose parent is no earlier storage, or a tree too large for one file.
common::Bytes writeTree(const std::vector<TreeEntry>& entries);

} // namespace compound_file
