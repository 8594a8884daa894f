#pragma once
#include <cstdint>

#include "base/setup_format.h"
#include "base/text.h"

// The one program-wide record of the setup. Every module reads and writes
// its fields directly; all of it is changed on the main thread only.
struct SetupState {
    Text packagePath;   // package file name, later the path given to the installer
    Text transformPath; // transform file name or its full path; empty: no transform
    Text productCode;
    Text productName;
    Text versionText;
    uint32_t versionMS = 0; // (major << 16) | minor
    uint32_t versionLS = 0; // (build << 16) | revision
    Text logPath;
    Text installerProperties;    // NAME="value" pieces from the command line, for msiexec
    bool rebootProperty = false; // among them a REBOOT, which then decides about a restart
    // Always the lcid of LanguageTable row languageIndex.
    int32_t languageId = setup_format::baseLanguage;
    int32_t languageIndex = 0;
    bool languageFixed = false;
    bool languageNamed = false; // by /L: it wins over the installed product's language
    bool packageEmbedded = false;
    bool silent = false;       // /S or /P: no language question, no restart
    bool progressOnly = false; // /P without /S: the installer shows its progress
    bool waitForInstaller = false;
};

extern SetupState setupState;
