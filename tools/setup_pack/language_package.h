#pragma once
// One package for every language (--out-msi): the package of --msi with
// the transforms of --language and --transform stored in it, as Group
// Policy or Intune deploy it with TRANSFORMS=:LCID; and such a package
// looked into (--inspect) and its transforms written out (--extract).
#include <string>

#include "common/bytes.h"
#include "setup_pack/commands.h"

struct LanguagePackage {
    common::Bytes bytes;
    std::string summary; // for the message: its languages and package code
};

// Reads and checks every input and makes the package: the transforms as
// for the setup (languageTransform), each stored under its LCID, and a new
// package code derived from the package and its transforms (in the order
// given): a name-based GUID (version 8) of 122 bits of a SHA-256 over their
// bytes, so the same inputs give the same code and any other input
// another, in braces, upper case. Throws PackError: packBadInput naming the
// input at fault, or the output when it would overwrite an input or the
// setup of --out.
LanguagePackage makeLanguagePackage(const PackCommand& options);

// True when the file starts like a compound file (a package), not like a
// program. Throws PackError as mapInput does.
bool isCompoundFile(const std::string& path);

// Prints the package's product name, product code, version, package code
// and Template and each stored transform's language, file name (1036.mst),
// size and SHA-256 (of the file --extract writes); exit 2 naming each
// transform that does not apply to the package. Throws PackError
// (packBadInput) for a file that is no package or a broken one.
int inspectPackage(const std::string& path);

// Writes each stored transform into `folder` (made if missing) as
// LCID.mst, replacing a file of that name; exit 2 when there is none.
int extractPackage(const std::string& path, const std::string& folder);
