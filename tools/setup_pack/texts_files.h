#pragma once
// The translators' side of a package: its texts written as a PO file
// (--export-texts), and the transform of a language made from a translated
// PO file (--translation).
#include <cstdint>
#include <optional>
#include <string>

#include "common/bytes.h"

// Writes the texts of the package at `msiPath` as a PO file at `outPath`
// (nothing is left on failure): a template, or with `localizedPath` the
// translations that a localized build of the package holds. Throws
// PackError naming the file at fault.
void writeTextsFile(const std::string& msiPath, const std::optional<std::string>& localizedPath,
                    const std::string& outPath);

// The transform to language `lcid` of the package `package` (read from
// `msiPath`) with the translations of the PO file `po` (read from
// `poPath`). Throws PackError (packBadInput) naming the PO file, its line
// and why, for a file that is no well-formed PO file or a translation that
// cannot go into the package.
common::Bytes translationTransform(common::ByteView package, const std::string& msiPath,
                                   int32_t lcid, common::ByteView po, const std::string& poPath);
