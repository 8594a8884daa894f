#include "product/version.h"

#include <utility>

#include "base/decimal.h"
#include "base/text_split.h"

bool parseVersion(Text versionText, uint32_t& versionMS, uint32_t& versionLS) {
    if (versionText.empty())
        return false;
    Text remainder = std::move(versionText);
    for (int piece = 1; piece <= 4; ++piece) {
        TextSplit split = splitAtFirst(remainder, '.');
        if (split.head.empty())
            return true;
        // No range check: a piece beyond 16 bits spills into its neighbour.
        uint32_t value = static_cast<uint32_t>(readDecimal(split.head.c_str(), split.head.size()));
        switch (piece) {
        case 1:
            versionMS = value << 16;
            break;
        case 2:
            versionMS |= value;
            break;
        case 3:
            versionLS = value << 16;
            break;
        default:
            versionLS |= value;
            break;
        }
        remainder = std::move(split.rest);
    }
    return true;
}

VersionFault strictVersionFault(const Text& versionText) {
    if (versionText.empty())
        return VersionFault::Empty;
    int numbers = 1;
    size_t digits = 0;
    uint32_t value = 0;
    bool valid = true;
    for (size_t i = 0; i <= versionText.size(); ++i) {
        if (i == versionText.size() || versionText[i] == '.') {
            valid = valid && digits > 0 && value <= 65535;
            ++numbers;
            digits = 0;
            value = 0;
        } else if (versionText[i] < '0' || versionText[i] > '9') {
            valid = false;
        } else if (++digits <= 5) { // six digits are past 65535 whatever they are
            value = value * 10 + static_cast<uint32_t>(versionText[i] - '0');
        } else {
            value = 65536;
        }
    }
    if (numbers - 1 > 4)
        return VersionFault::MoreThanFourNumbers;
    return valid ? VersionFault::None : VersionFault::NotNumbers;
}

InstallCheck classifyInstalledVersion(uint32_t packageMS, uint32_t packageLS, uint32_t installedMS,
                                      uint32_t installedLS) {
    if (installedMS == packageMS && (installedLS >> 16) == (packageLS >> 16))
        return InstallCheck::Proceed;
    if (packageMS > installedMS)
        return InstallCheck::Upgrade;
    if (packageMS == installedMS && packageLS > installedLS)
        return InstallCheck::Upgrade;
    return InstallCheck::LaterInstalled;
}

InstallCheck classifyQueryResult(uint32_t queryResult, const char* installedVersion,
                                 uint32_t packageMS, uint32_t packageLS) {
    const uint32_t success = 0, unknownProduct = 1605, unknownProperty = 1608;
    if (queryResult == unknownProduct || queryResult == unknownProperty)
        return InstallCheck::Proceed;
    if (queryResult != success)
        return InstallCheck::QueryFailed;
    uint32_t installedMS = 0, installedLS = 0;
    parseVersion(Text(installedVersion), installedMS, installedLS);
    return classifyInstalledVersion(packageMS, packageLS, installedMS, installedLS);
}
