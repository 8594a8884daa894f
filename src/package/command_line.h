#pragma once

#include "product/version.h"
#include "base/text.h"

struct InstallerCommandInput {
    Text packagePath;
    Text transformPath;        // empty: no transform
    InstallCheck check;        // Proceed or Upgrade
    bool silent;               // the installer shows nothing (/qn)...
    Text logPath;              // empty: no log
    Text currentDirectory;     // the value of SETUPEXEDIR
    Text properties;           // NAME="value" pieces, quoted for msiexec; empty: none
    bool rebootGiven = false;  // `properties` hold a REBOOT
    bool progressOnly = false; // ...or, with `silent`, only its progress (/passive)
};

// The command line given to msiexec.exe. It begins with the bare program
// name and, when silent, the installer's interface switch; paths are quoted
// as they are. After SETUPEXEDIR come, in this order:
// REBOOT=ReallySuppress when silent and no REBOOT is given (with no user
// interface the installer would restart the machine unasked), the given
// properties, the reinstall properties of an upgrade, then the log.
Text installerCommandLine(const InstallerCommandInput& input);
