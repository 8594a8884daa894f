#pragma once
#include <windows.h>

#include "product/version.h"
#include "base/text.h"

// Starts msiexec.exe of the system folder on the package. On success
// `processHandle` holds the installer's process handle, which the caller
// owns; otherwise it keeps its value.
void launchInstaller(Text packagePath, Text transformPath, InstallCheck check,
                     HANDLE& processHandle);
