#pragma once
// What setup-pack reads from its input files: their bytes, mapped whole and
// refused by name when they cannot be a setup's part, and the product's
// properties from a package's Property table.
#include <memory>
#include <string>

#include "common/bytes.h"
#include "common/file_io.h"

struct PackageInfo {
    std::string productCode;
    std::string productName;
    std::string productVersion;
};

// The whole file, mapped. Throws PackError (packBadInput) naming the path
// when it cannot be opened or is larger than setup_format::maxPayloadBytes
// (checked before anything is mapped); `limit` and its name in the message
// may be given for files that are no payload (a setup to look into).
std::unique_ptr<common::MappedFile> mapInput(const std::string& path);
std::unique_ptr<common::MappedFile> mapInput(const std::string& path, uint64_t limit,
                                             const char* limitText);

// ProductCode, ProductName and ProductVersion of a package, read from its
// bytes once every stream of its compound file is found whole (checked
// without copying any). Throws common::FormatError saying why (no compound
// file, no installer database, a broken one, a stream cut short or whose
// chain leaves the file, named as the database names it, a property
// missing or empty).
PackageInfo readPackageInfo(common::ByteView package);
