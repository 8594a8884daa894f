#pragma once
#include <cstdint>

#include "product/version.h"

// Asks the Windows Installer for the installed version of `productCode` and
// classifies it against the package's version pair. When msi.dll or its
// function cannot be had, the result is QueryFailed.
InstallCheck checkInstalledProduct(const char* productCode, uint32_t versionMS, uint32_t versionLS);

// The language (LCID) in which the Windows Installer has `productCode`
// installed; 0 when it is not installed, the query fails, msi.dll cannot be
// had or the answer is no positive number.
int32_t installedLanguage(const char* productCode);
