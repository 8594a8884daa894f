#include "setup_pack/output_options.h"

#include <cstring>

#include "common/ascii.h"
#include "common/utf8.h"

std::u32string characters(const std::string& utf8) {
    std::u16string units;
    common::utf8ToUtf16(utf8, units); // valid: the command line's, or a package's text
    std::u32string text;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        text.push_back(c);
    }
    return text;
}

namespace {

// The blanks that winget's pattern excludes as \s, beside the controls.
bool isBlank(char32_t c) {
    return c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// Each throws PackError (packUsage) naming `input` unless winget takes the
// text, as checkOutputOptions says.
void checkPackageId(const std::string& id, const std::string& input) {
    const std::u32string text = characters(id);
    size_t pieces = 1, length = 0;
    bool valid = text.size() <= 128;
    for (char32_t c : text) {
        if (c == U'.') {
            valid = valid && length > 0;
            ++pieces;
            length = 0;
            continue;
        }
        ++length;
        valid = valid && length <= 32 && c >= 0x20 && !isBlank(c) &&
                !(c < 0x80 && std::strchr("\\/:*?\"<>|", static_cast<char>(c)));
    }
    if (!valid || length == 0 || pieces < 2 || pieces > 8)
        throw usageError(input,
                         "\"" + id +
                             "\" is no package identifier winget takes: 2 to 8 pieces of 1 to "
                             "32 characters joined by \".\" (Publisher.Product), no blank and "
                             "none of \\ / : * ? \" < > |, 128 characters at most");
}

void checkInstallerUrl(const std::string& url, const std::string& input) {
    const std::u32string text = characters(url);
    size_t scheme = url.find("://");
    const std::string name = url.substr(0, scheme == std::string::npos ? 0 : scheme);
    bool valid = (common::equalIgnoringAsciiCase(name, std::string("http")) ||
                  common::equalIgnoringAsciiCase(name, std::string("https"))) &&
                 scheme + 3 < url.size() && text.size() <= 2048;
    // No line ends: winget's pattern reads the rest as one line.
    for (char32_t c : text)
        valid = valid && c != U'\n' && c != U'\r' && c != 0x2028 && c != 0x2029;
    if (!valid)
        throw usageError(input,
                         "\"" + url + "\" is no http or https URL of 2048 characters at most");
}

void checkTextLength(const std::string& text, size_t least, size_t most, const std::string& input) {
    size_t count = characters(text).size();
    if (count < least || count > most)
        throw usageError(input, "winget takes " + std::to_string(least) + " to " +
                                    std::to_string(most) + " characters here, not " +
                                    std::to_string(count));
}

} // namespace

bool hasOutputOptions(const PackCommand& command) {
    return command.outMsiPath || command.wingetFolder || command.packageId ||
           command.installerUrl || command.publisher || command.license;
}

void checkOutputOptions(const PackCommand& options) {
    const bool haveOut = !options.outPath.empty();
    const bool winget = options.wingetFolder || options.packageId || options.installerUrl ||
                        options.publisher || options.license;
    if (options.outMsiPath) {
        if (options.outMsiPath->empty())
            throw usageError("--out-msi", "needs a non-empty path");
        if (options.signing.given())
            throw usageError("--out-msi",
                             "does not go with signing: the package it writes would be "
                             "unsigned");
        const std::pair<bool, const char*> setupOnly[] = {
            {options.languages.has_value(), "--languages"},
            {options.productName.has_value(), "--product-name"},
            {options.productCode.has_value(), "--product-code"},
            {options.version.has_value(), "--version"},
            {options.logPath.has_value(), "--log-path"},
            {options.stubPath.has_value(), "--stub"},
            {options.arch.has_value(), "--arch"},
            {options.wingetFolder.has_value(), "--winget"}};
        for (const auto& given : setupOnly)
            if (given.first && !haveOut)
                throw usageError(given.second, "is about the setup: it needs --out");
    }
    if (!winget)
        return;
    if (!options.wingetFolder)
        throw usageError(options.packageId      ? "--package-id"
                         : options.installerUrl ? "--installer-url"
                         : options.publisher    ? "--publisher"
                                                : "--license",
                         "needs --winget");
    if (options.wingetFolder->empty())
        throw usageError("--winget", "needs a non-empty folder");
    if (!haveOut)
        throw usageError("--winget", "describes the setup: it needs --out");
    if (!options.packageId)
        throw usageError("--package-id", "is required with --winget");
    if (!options.installerUrl)
        throw usageError("--installer-url", "is required with --winget");
    if (!options.license)
        throw usageError("--license",
                         "is required with --winget: its manifest must name the license");
    checkPackageId(*options.packageId, "--package-id");
    checkInstallerUrl(*options.installerUrl, "--installer-url");
    checkTextLength(*options.license, 3, 512, "--license");
    if (options.publisher)
        checkTextLength(*options.publisher, 2, 256, "--publisher");
}
