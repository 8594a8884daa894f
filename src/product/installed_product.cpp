#include "product/installed_product.h"

#include <windows.h>

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
