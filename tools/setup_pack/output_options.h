#pragma once
// The options of setup-pack's other outputs beside the setup (--out-msi),
// checked without any file: which go together.
#include <optional>
#include <string>

#include "setup_pack/options.h"

// The field of `options` that the option of an output (--out-msi) fills;
// nullptr for any other option.
std::optional<std::string>* outputOption(PackOptions& options, const std::string& option);

// Throws PackError (packUsage) unless these options go with the rest: not
// with --inspect, --extract or --make-transform; --out-msi without --out
// takes no option that is about the setup, and no signing option at all
// (the package it writes would be unsigned). `haveOut`: --out was given.
void checkOutputOptions(const PackOptions& options, bool haveOut);
