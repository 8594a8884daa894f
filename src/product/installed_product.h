#pragma once
#include <cstdint>

#include "product/version.h"

// Asks the Windows Installer for the installed version of `productCode` and
// classifies it against the package's version pair. When msi.dll or its
// function cannot be had, the result is QueryFailed.
InstallCheck checkInstalledProduct(const char* productCode, uint32_t versionMS, uint32_t versionLS);
