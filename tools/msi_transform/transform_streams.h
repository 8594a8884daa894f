#pragma once
// The streams of a transform written from the changes of diffDatabases,
// through msi_database's pool and cell encoders.
#include <functional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "msi_transform/diff.h"

namespace msi_transform {

struct Stream {
    std::u16string name; // packed
    common::Bytes bytes;
};

// Converts a string to the pool's code page; false when it cannot hold it.
using Encoder = std::function<bool(const std::u16string& text, std::string& bytes)>;

// Every stream of the transform but the summary: the pool, the rows of the
// tables' and columns' tables for added tables, one stream per changed
// table and one per binary cell written. Throws Refusal naming a string
// the encoder refuses.
std::vector<Stream> transformStreams(const std::vector<TableChange>& changes, uint32_t codePage,
                                     const Encoder& encode);

} // namespace msi_transform
