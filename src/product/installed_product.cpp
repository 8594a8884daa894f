#include "product/installed_product.h"

#include <windows.h>

#include <cstring>

#include "os/system_folder.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {
typedef UINT(WINAPI* MsiGetProductInfoFunction)(const char*, const char*, char*, DWORD*);

// Binds msi.dll on first use, from the system folder only: a msi.dll planted
// beside the setup program must never be loaded.
MsiGetProductInfoFunction bindMsiGetProductInfo() {
    static MsiGetProductInfoFunction function = nullptr;
    static bool tried = false;
    if (tried)
        return function;
    tried = true;
    HMODULE msi = LoadLibraryExA("msi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!msi) {
        // Systems without the search flags refuse it as an invalid parameter.
        Text path = systemFilePath("msi.dll");
        if (!path.empty())
            msi = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (!msi)
        return nullptr;
    FARPROC address = GetProcAddress(msi, "MsiGetProductInfoA");
    static_assert(sizeof(address) == sizeof(function), "function pointer size");
    std::memcpy(&function, &address, sizeof(address));
    return function;
}
} // namespace

InstallCheck checkInstalledProduct(const char* productCode, uint32_t versionMS,
                                   uint32_t versionLS) {
    MsiGetProductInfoFunction msiGetProductInfo = bindMsiGetProductInfo();
    if (!msiGetProductInfo)
        return QueryFailed;
    char version[36] = {};
    DWORD length = sizeof(version);
    UINT result = msiGetProductInfo(productCode, "VersionString", version, &length);
    version[sizeof(version) - 1] = '\0';
    return classifyQueryResult(result, version, versionMS, versionLS);
}
