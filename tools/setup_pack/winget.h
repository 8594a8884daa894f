#pragma once
// The winget manifests of a setup (--winget): the three files of a
// multi-file manifest of manifest version 1.6.0, version, installer and
// default locale, as winget-pkgs takes them. What they say is gathered
// before the setup is written; they are written after it, with its SHA-256.
#include <string>
#include <utility>
#include <vector>

#include "setup_pack/commands.h"

struct WingetManifest {
    std::string packageId, version, locale;    // locale: "en-US"
    std::string architecture;                  // x86, x64: the stub's machine
    std::string installerUrl, installerSha256; // upper-case hex
    std::string scope;                         // machine, user, or empty: the package fixes none
    bool installLocation = false;              // the package has an INSTALLDIR folder
    std::string productCode;                   // the setup's
    // The entry the package writes under Add/Remove Programs.
    std::string displayName, displayPublisher, displayVersion, entryProductCode, upgradeCode;
    std::string packageName, publisher, license, shortDescription;
};

// Everything of the manifest but the setup's SHA-256, from the options, the
// package of --msi and the stub. Throws PackError (packBadInput) naming the
// input that cannot give a value winget takes: a ProductLanguage that is no
// language the setup knows, a stub for another machine than x86 or x64, no
// Manufacturer without --publisher, a product name winget would not take
// (2 to 256 characters, 3 for the description), a Manufacturer over 256.
WingetManifest planWingetManifest(const PackCommand& options);

// The three files: names ("<id>.yaml", "<id>.installer.yaml",
// "<id>.locale.<locale>.yaml") and YAML texts, every text value in double
// quotes with escapes, no time in them: the same manifest, the same bytes.
std::vector<std::pair<std::string, std::string>> wingetFiles(const WingetManifest& manifest);

// Hashes the setup written at options.outPath into the manifest and writes
// the files into options.wingetFolder (made if missing). Throws PackError
// (packWriteFailed) naming the file that cannot be written.
void writeWingetManifest(WingetManifest manifest, const PackCommand& options);
