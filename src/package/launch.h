#pragma once
#include <windows.h>

#include "base/text.h"
#include "os/handle.h"
#include "product/version.h"

// Starts msiexec.exe of the system folder on the package. Gives the
// installer's process, or an owner of nothing when nothing was started (no
// current directory, no system folder, or the start failed).
OSHandle launchInstaller(Text packagePath, Text transformPath, InstallCheck check);
