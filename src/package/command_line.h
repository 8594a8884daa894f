#pragma once

#include "product/version.h"
#include "base/text.h"

struct InstallerCommandInput {
    Text packagePath;
    Text transformPath; // empty: no transform
    InstallCheck check; // Proceed or Upgrade
    bool silent;
    Text logPath;          // empty: no log
    Text currentDirectory; // the value of SETUPEXEDIR
};

// The command line given to msiexec.exe. It begins with the bare program
// name; paths are quoted as they are.
Text installerCommandLine(const InstallerCommandInput& input);
