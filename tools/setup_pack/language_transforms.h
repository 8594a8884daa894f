#pragma once
// The language transforms that go into a setup: made from a localized
// package (--language), or ready-made (--transform) and checked against the
// package; and the single transform file of --make-transform.
#include <memory>
#include <string>

#include "common/bytes.h"
#include "common/file_io.h"
#include "setup_pack/options.h"

// A transform's bytes: a mapped file or made in memory.
struct LanguageTransform {
    std::unique_ptr<common::MappedFile> file; // --transform
    common::Bytes made;                       // --language
    common::ByteView bytes() const { return file ? file->bytes() : common::ByteView(made); }
};

// The transform for `transform.lcid`. A ready-made one must be a transform
// (not a package or patch) that applies to the package `package` (read from
// `msiPath`). Throws PackError (packBadInput) naming the file at fault.
LanguageTransform languageTransform(const TransformInput& transform, common::ByteView package,
                                    const std::string& msiPath);

// Writes the transform of `source` (a localized package or a translation)
// for the package at `msiPath` as `outPath` (nothing is left on failure).
// Throws PackError.
void writeTransformFile(const std::string& msiPath, const TransformInput& source,
                        const std::string& outPath);
