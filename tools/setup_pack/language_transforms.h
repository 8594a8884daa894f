#pragma once
// The language transforms that go into a setup: made from a localized
// package (--language), or ready-made (--transform) and checked against the
// package; and the single transform file of --make-transform.
#include <string>
#include <vector>

#include "setup_pack/options.h"

// The transform's bytes. A ready-made one must be a transform (not a
// package or patch) that applies to `msiPath`. Throws PackError naming the
// file at fault (packBadInput), or packWriteFailed when the temporary file
// of a made transform cannot be written.
std::vector<unsigned char> languageTransform(const TransformInput& transform,
                                             const std::string& msiPath);

// Writes the transform from options.msiPath to options.localizedPath as
// options.outPath (nothing is left on failure). Throws PackError.
void writeTransformFile(const PackOptions& options);
