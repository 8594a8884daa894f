#pragma once
#include <cstdint>

#include "base/text.h"

// Reads "major.minor.build.revision" into the version pair. Returns false
// only for an empty text, which leaves both outputs alone. An empty piece
// ends the reading; pieces past the fourth are ignored.
bool parseVersion(Text versionText, uint32_t& versionMS, uint32_t& versionLS);

// What keeps a text from being a version that parseVersion reads exactly:
// one to four dot-separated decimal numbers, each 0 to 65535 (a larger
// piece would spill into its neighbour, an empty one end the reading).
// setup-pack refuses the others; the setup still reads them as above.
enum class VersionFault { None, Empty, MoreThanFourNumbers, NotNumbers };
VersionFault strictVersionFault(const Text& versionText);

// Outcome of the installed-product check.
enum class InstallCheck : int32_t {
    Proceed = 0,
    Upgrade = 1,
    LaterInstalled = 2,
    QueryFailed = 3,
};

// Compares the installed version with the package's: major, minor and build
// decide; the revision never does.
InstallCheck classifyInstalledVersion(uint32_t packageMS, uint32_t packageLS, uint32_t installedMS,
                                      uint32_t installedLS);

// Turns the answer of the installer service's version query (its error code
// and, on success, the version text) into an InstallCheck.
InstallCheck classifyQueryResult(uint32_t queryResult, const char* installedVersion,
                                 uint32_t packageMS, uint32_t packageLS);
