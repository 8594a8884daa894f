#pragma once
// What a written setup carries, read back from its resources as the setup
// itself finds them, and the writing of its package and transforms into a
// folder under the names the setup gives them.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/file_io.h"
#include "pe/resources.h"

struct SetupTransform {
    int32_t lcid = 0;
    common::ByteView bytes; // into the setup's bytes
};

struct SetupContents {
    // The text resources as UTF-8 (without the stored terminator); empty
    // when the setup lacks the resource.
    std::optional<std::string> packageName, productCode, productName, version, languages, logPath;
    std::optional<common::ByteView> package;
    std::vector<SetupTransform> transforms; // LANG<lcid> resources, by ascending LCID
    uint32_t certificateSize = 0;           // 0: not signed
    uint16_t machine = 0;                   // of the PE headers
};

// "x86" (i386) or "x64" (x86-64), as --arch names them; another machine by
// its number: "machine 0xAA64".
std::string architectureName(uint16_t machine);

// A written setup file, mapped whole and read.
struct SetupFile {
    std::unique_ptr<common::MappedFile> file;
    SetupContents contents; // into file's bytes
};

// Throws PackError (packBadInput) naming the path for a file that cannot
// be opened, passes 4 GiB (more than any setup) or is no program.
SetupFile readSetupFile(const std::string& path);

// The name the setup writes a transform under: "1036.MST".
std::string transformFileName(int32_t lcid);

// Whether two file names name one file where the setup writes them: Windows
// compares names without regard to case (ASCII letters here, as the names
// the setup gives its files are ASCII).
bool sameFileName(const std::string& a, const std::string& b);

// Writes the package as `folder`/PACKAGENAME and each transform as
// `folder`/LCID.MST, creating the folder if needed and replacing files of
// those names; returns the paths written. Throws PackError: packBadInput
// naming the setup when it has no package or its PACKAGENAME is not a plain
// file name (it could point outside the folder), packWriteFailed naming the
// file or folder that cannot be written.
std::vector<std::string> extractSetup(const SetupContents& contents, const std::string& setupPath,
                                      const std::string& folder);
