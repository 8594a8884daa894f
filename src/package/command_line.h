#pragma once

#include "product/version.h"
#include "base/text.h"

struct InstallerCommandInput {
    Text packagePath;
    Text transformPath; // empty: no transform
    InstallCheck check; // Proceed or Upgrade
    bool silent;
    Text logPath;             // empty: no log
    Text currentDirectory;    // the value of SETUPEXEDIR
    Text properties;          // NAME="value" pieces, quoted for msiexec; empty: none
    bool rebootGiven = false; // `properties` hold a REBOOT
};

// The command line given to msiexec.exe. It begins with the bare program
// name; paths are quoted as they are. After SETUPEXEDIR come, in this order:
// REBOOT=ReallySuppress when silent and no REBOOT is given (with no user
// interface the installer would restart the machine unasked), the given
// properties, the reinstall properties of an upgrade, then the log.
Text installerCommandLine(const InstallerCommandInput& input);
