#pragma once
// Language transforms stored inside a package: each in a substorage named
// by its decimal LCID, which `msiexec TRANSFORMS=:1036` applies. Made and
// read from the files' bytes, without any system call.
#include <cstdint>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "compound_file/compound_file.h"
#include "compound_file/tree.h"
#include "msi_transform/generate.h"

namespace msi_transform {

// A transform file's whole tree, read to be stored in a package. Throws
// TransformError(Transform) for a file that is no transform or a broken one.
std::vector<compound_file::TreeEntry> transformTree(common::ByteView transform);

struct LanguageStorage {
    int32_t lcid = 0;                           // names the substorage
    std::vector<compound_file::TreeEntry> tree; // transformTree()
};

// `base` with a substorage per transform, holding the transform file's
// streams and storages under its root's class id. Every other stream and
// storage stays byte for byte, but for the summary: the languages are
// appended to its Template's list ("Intel;1033" with 1036 and 1031 becomes
// "Intel;1033,1036,1031") and its revision number, the package code,
// becomes `packageCode`; its other properties stay. Throws
// TransformError(Base) for a base that is no package or a broken one, has
// no summary or a Template without ";", lists one of the languages in its
// Template already, has an entry of one of the names, or is signed (a
// signature covers what this changes).
common::Bytes embedTransforms(common::ByteView base, const std::vector<LanguageStorage>& storages,
                              const std::string& packageCode);

struct StoredTransform {
    int32_t lcid = 0;
    common::Bytes file; // as a transform file of its own
};

// The transforms in the root's substorages that are named by a decimal
// LCID and carry the transform class id, by ascending LCID, each written
// as compound_file::writeTree writes it: a transform that setup-pack made
// comes out as the bytes --make-transform writes. Throws FormatError for a
// stream that cannot be read.
std::vector<StoredTransform> storedTransforms(const compound_file::Reader& package);

} // namespace msi_transform
