// Version texts: the package's own and the one the installer service reports.
// The first four bytes give the service's answer code; the rest is split at
// its first NUL into the package's and the installed version text.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "product/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    uint32_t code = 0;
    std::memcpy(&code, data, 4);
    // Keep the interesting answers frequent: success, unknown product or property.
    static const uint32_t answers[] = {0, 1605, 1608, 234};
    if (code < 0x80000000u)
        code = answers[code % 4];
    std::string texts(reinterpret_cast<const char*>(data + 4), size - 4);
    size_t nul = texts.find('\0');
    std::string package = texts.substr(0, nul);
    std::string installed = nul == std::string::npos ? std::string() : texts.substr(nul + 1);

    uint32_t ms = 0x12345678, ls = 0x9ABCDEF0;
    bool parsed = parseVersion(Text(package.data(), package.size()), ms, ls);
    FUZZ_CHECK(parsed == !package.empty());
    if (package.empty() || package[0] == '.')
        FUZZ_CHECK(ms == 0x12345678 && ls == 0x9ABCDEF0);

    InstallCheck check = classifyQueryResult(code, installed.c_str(), ms, ls);
    FUZZ_CHECK(check >= InstallCheck::Proceed && check <= InstallCheck::QueryFailed);
    FUZZ_CHECK((code == 1605 || code == 1608) == (code != 0 && check == InstallCheck::Proceed));
    FUZZ_CHECK((code != 0 && code != 1605 && code != 1608) == (check == InstallCheck::QueryFailed));
    if (code == 0) {
        // Comparing the other way round swaps an upgrade and a later version.
        uint32_t installedMS = 0, installedLS = 0;
        parseVersion(Text(installed.c_str()), installedMS, installedLS);
        InstallCheck reverse = classifyInstalledVersion(installedMS, installedLS, ms, ls);
        FUZZ_CHECK(check == classifyInstalledVersion(ms, ls, installedMS, installedLS));
        FUZZ_CHECK((check == InstallCheck::Proceed) == (reverse == InstallCheck::Proceed));
        FUZZ_CHECK((check == InstallCheck::Upgrade) == (reverse == InstallCheck::LaterInstalled));
        FUZZ_CHECK(check != InstallCheck::Proceed || installedMS == ms);
    }
    return 0;
}
