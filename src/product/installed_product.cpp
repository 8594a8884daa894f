#include "product/installed_product.h"

#include <windows.h>

#include <cstring>

#include "base/decimal.h"
#include "os/system_folder.h"

namespace {
typedef UINT(WINAPI* MsiGetProductInfoFunction)(const char*, const char*, char*, DWORD*);

// Binds msi.dll on first use, from the system folder only: a msi.dll planted
// beside the setup program must never be loaded.
MsiGetProductInfoFunction bindMsiGetProductInfo() {
    static MsiGetProductInfoFunction function = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        function = libraryFunction<MsiGetProductInfoFunction>(loadSystemLibrary("msi.dll"),
                                                              "MsiGetProductInfoA");
    }
    return function;
}
} // namespace

InstallCheck checkInstalledProduct(const char* productCode, uint32_t versionMS,
                                   uint32_t versionLS) {
    MsiGetProductInfoFunction msiGetProductInfo = bindMsiGetProductInfo();
    if (!msiGetProductInfo)
        return InstallCheck::QueryFailed;
    char version[36] = {};
    DWORD length = sizeof(version);
    UINT result = msiGetProductInfo(productCode, "VersionString", version, &length);
    version[sizeof(version) - 1] = '\0';
    return classifyQueryResult(result, version, versionMS, versionLS);
}

int32_t installedLanguage(const char* productCode) {
    MsiGetProductInfoFunction msiGetProductInfo = bindMsiGetProductInfo();
    if (!msiGetProductInfo)
        return 0;
    char language[12] = {}; // a 32-bit number in decimal
    DWORD length = sizeof(language);
    if (msiGetProductInfo(productCode, "Language", language, &length) != ERROR_SUCCESS)
        return 0;
    language[sizeof(language) - 1] = '\0';
    int32_t lcid = readDecimal(language, std::strlen(language));
    return lcid > 0 ? lcid : 0;
}
