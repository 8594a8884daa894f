#pragma once
// Packing with every output the command line asks for: the package with
// its transforms (--out-msi), the setup (--out) and its winget manifests
// (--winget). Every output's inputs are read and checked before any output
// is written; each file appears whole or not at all.
#include <functional>

#include "setup_pack/commands.h"

// Makes the package of --out-msi and plans the manifests, runs `packSetup`
// when --out is given (it writes the setup), then writes the manifests and
// moves the package into place. Returns packSuccess; throws PackError.
int packOutputs(const PackCommand& options, const std::function<void()>& packSetup);
