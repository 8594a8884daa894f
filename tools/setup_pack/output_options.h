#pragma once
// The options of setup-pack's other outputs beside the setup (--out-msi,
// --winget and its values), checked without any file: which go together
// and the values winget takes.
#include <optional>
#include <string>

#include "setup_pack/commands.h"

// Whether any of them is given.
bool hasOutputOptions(const PackCommand& command);

// Throws PackError (packUsage) unless they go with the rest: --out-msi
// without --out takes no option that is about the setup, and no signing
// option at all (the package it writes would be unsigned); the --winget
// values only with --winget, which needs --out, --package-id,
// --installer-url and --license, each as winget takes it: a package
// identifier of 2 to 8 pieces of 1 to 32 characters joined by ".", none a
// blank, a control character or one of \ / : * ? " < > |, 128 characters at
// most; an http or https URL of 2048 characters at most; a license of 3 to
// 512 characters; a publisher of 2 to 256.
void checkOutputOptions(const PackCommand& command);

// The characters (Unicode code points) of a UTF-8 text, as winget counts
// its lengths and as the manifests quote them.
std::u32string characters(const std::string& utf8);
