#include "setup_pack/options.h"

#include <cstring>
#include <utility>

#include "base/decimal.h"
#include "base/text_split.h"
#include "base/setup_format.h"
#include "product/version.h"
#include "setup_pack/output_options.h"

namespace {

bool allDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isHex(char c) {
    c = upperAscii(c);
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The pieces of `text` between the separators, cut the way the setup cuts
// its own texts.
std::vector<std::string> pieces(const std::string& text, char separator) {
    std::vector<std::string> result;
    Text remaining(text.c_str(), text.size());
    for (;;) {
        TextSplit split = splitAtFirst(remaining, separator);
        result.emplace_back(split.head.c_str(), split.head.size());
        if (split.rest.empty() && remaining.size() == split.head.size())
            return result; // no separator left
        remaining = std::move(split.rest);
    }
}

PackError usage(const std::string& input, const std::string& reason) {
    return PackError(packUsage, input, reason + " (see --help)");
}

} // namespace

const char* packUsageText() {
    return "usage: setup-pack --msi PATH [--language LCID=PATH]... [--transform LCID=PATH]...\n"
           "                  [--languages LIST]\n"
           "                  [--product-name TEXT] [--product-code GUID] [--version TEXT]\n"
           "                  [--log-path PATH] [--arch x86|x64 | --stub PATH] --out PATH\n"
           "                  [--sign-cert FILE --sign-key FILE | --sign-pkcs12 FILE]\n"
           "                  [--timestamp-url URL] [--sign-ca FILE] [--out-msi PATH]\n"
           "                  [--winget FOLDER --package-id ID --installer-url URL\n"
           "                   --license TEXT [--publisher TEXT]]\n"
           "       setup-pack --msi PATH [--language LCID=PATH]... [--transform LCID=PATH]...\n"
           "                  --out-msi PATH\n"
           "       setup-pack --inspect SETUP|PACKAGE\n"
           "       setup-pack --extract SETUP|PACKAGE --out FOLDER\n"
           "       setup-pack --make-transform --msi PATH --localized PATH --out PATH\n"
           "       setup-pack --help | --version\n"
           "\n"
           "Copies the setup stub (--stub, else setup.exe, or setup-x64.exe with\n"
           "--arch x64, beside setup-pack, else in ../share/setup-pack/ from its\n"
           "folder) to --out and embeds the package, one transform per extra\n"
           "language and the texts the setup reads.\n"
           "\n"
           "  --msi PATH              the product's Windows Installer package\n"
           "  --language LCID=PATH    a localized package of the same product for a\n"
           "                          language other than 1033 (1031, 1034, 1036, 1040,\n"
           "                          1043, 1046): its transform is made and embedded;\n"
           "                          repeatable\n"
           "  --transform LCID=PATH   a ready-made transform for such a language\n"
           "  --languages LIST        languages offered, e.g. 1033;1036\n"
           "                          (default: 1033 and the languages' LCIDs in order)\n"
           "  --product-name TEXT     default: the package's ProductName\n"
           "  --product-code GUID     default: the package's ProductCode\n"
           "  --version TEXT          default: the package's ProductVersion; one to four\n"
           "                          numbers 0-65535 separated by dots\n"
           "  --log-path PATH         the installer's log file on the target machine\n"
           "  --arch x86|x64          the stub to fill: setup.exe for 32-bit Windows\n"
           "                          (x86, the default) or setup-x64.exe for 64-bit\n"
           "                          Windows (x64)\n"
           "  --stub PATH             the setup stub to fill, instead of --arch\n"
           "  --out PATH              the setup program to write; written only on success\n"
           "  --out-msi PATH          the package with each transform stored in it, for\n"
           "                          msiexec TRANSFORMS=:1036; with --out or alone\n"
           "  --winget FOLDER         writes the setup's winget manifests (1.6.0) there:\n"
           "                          ID.yaml, ID.installer.yaml, ID.locale.LOCALE.yaml\n"
           "  --package-id ID         their PackageIdentifier, Publisher.Product\n"
           "  --installer-url URL     where the setup will be downloaded from\n"
           "  --license TEXT          the product's license, as the manifest must name it\n"
           "  --publisher TEXT        default: the package's Manufacturer\n"
           "  --inspect SETUP         prints what a setup carries and checks its texts\n"
           "                          against its package's properties (exit 2: mismatch)\n"
           "  --extract SETUP         writes its package and transforms into --out FOLDER\n"
           "                          under the names the setup gives them\n"
           "  --inspect PACKAGE       prints the transforms stored in a package\n"
           "  --extract PACKAGE       writes them into --out FOLDER as LCID.mst\n"
           "\n"
           "  --make-transform        write only the transform from --msi to --localized\n"
           "                          as --out (for deploying the package with it)\n"
           "\n"
           "Signing (Authenticode, by osslsigncode): the package is signed with the\n"
           "product name as description, packed, the setup signed, both verified.\n"
           "  --sign-cert FILE --sign-key FILE  certificate and key (PEM or DER)\n"
           "  --sign-pkcs12 FILE      both in one file; password in SETUP_PACK_SIGN_PASSWORD\n"
           "  --sign-ca FILE          verify the signatures against this\n"
           "                          (default: the signing certificate)\n"
           "  --timestamp-url URL     RFC 3161 time-stamping service\n"
           "\n"
           "  --version               alone: the program's version and its stub's SHA-256\n"
           "\n"
           "Exit codes: 0 success, 1 bad command line, 2 bad input, 3 output not written.\n";
}

const char* stubFileName(StubArch arch) {
    return arch == StubArch::x64 ? "setup-x64.exe" : "setup.exe";
}

std::string canonicalProductCode(const std::string& code, const std::string& input) {
    static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    bool valid = code.size() == std::strlen(pattern);
    for (size_t i = 0; valid && i < code.size(); ++i)
        valid = pattern[i] == 'X' ? isHex(code[i]) : code[i] == pattern[i];
    if (!valid)
        throw PackError(packBadInput, input,
                        "product code \"" + code + "\" is not a GUID in braces, like " + pattern);
    // The setup hands it to MsiGetProductInfoA as written.
    std::string upper = code;
    for (char& c : upper)
        c = upperAscii(c);
    return upper;
}

bool sameProductCode(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

void checkVersion(const std::string& version, const std::string& input) {
    switch (strictVersionFault(Text(version.c_str(), version.size()))) {
    case VersionFault::None:
        return;
    case VersionFault::Empty:
        throw PackError(packBadInput, input, "version is empty");
    case VersionFault::MoreThanFourNumbers:
        throw PackError(packBadInput, input,
                        "version \"" + version + "\" has more than four numbers");
    case VersionFault::NotNumbers:
        break;
    }
    throw PackError(packBadInput, input,
                    "version \"" + version +
                        "\" is not one to four numbers 0-65535 separated by dots");
}

int32_t checkLanguage(const std::string& lcidText, const std::string& input) {
    int32_t lcid = allDigits(lcidText) ? readDecimal(lcidText.c_str(), lcidText.size()) : -1;
    if (lcid < 0 || !setup_format::isKnownLanguage(lcid)) {
        std::string known;
        for (int32_t language : setup_format::knownLanguages)
            known += (known.empty() ? "" : ", ") + std::to_string(language);
        throw PackError(packBadInput, input,
                        "\"" + lcidText + "\" is not a language the setup knows (" + known + ")");
    }
    return lcid;
}

void checkLanguageList(const std::string& languages, const std::string& input) {
    if (languages.empty())
        throw PackError(packBadInput, input, "the language list is empty");
    std::vector<int32_t> seen;
    for (const std::string& part : pieces(languages, setup_format::languageListSeparator)) {
        if (part.empty())
            throw PackError(packBadInput, input,
                            "the language list \"" + languages + "\" has an empty entry");
        int32_t lcid = checkLanguage(part, input);
        for (int32_t earlier : seen)
            if (earlier == lcid)
                throw PackError(packBadInput, input, "language " + part + " is listed twice");
        seen.push_back(lcid);
    }
}

std::string defaultLanguageList(const std::vector<TransformInput>& transforms) {
    std::string list = std::to_string(setup_format::baseLanguage);
    for (const TransformInput& transform : transforms)
        list += setup_format::languageListSeparator + std::to_string(transform.lcid);
    return list;
}

void checkSigningOptions(const SigningOptions& options) {
    if (!options.requested()) {
        if (options.given())
            throw usage(options.timestampUrl.empty() ? "--sign-ca" : "--timestamp-url",
                        "signing options need --sign-cert and --sign-key, or --sign-pkcs12");
        return;
    }
    if (!options.pkcs12Path.empty()) {
        if (!options.certPath.empty() || !options.keyPath.empty())
            throw usage("--sign-pkcs12", "give it alone, without --sign-cert and --sign-key");
    } else if (options.certPath.empty()) {
        throw usage("--sign-key", "needs --sign-cert");
    } else if (options.keyPath.empty()) {
        throw usage("--sign-cert", "needs --sign-key");
    }
}

PackOptions parsePackOptions(const std::vector<std::string>& arguments) {
    PackOptions options;
    bool haveMsi = false, haveOut = false;
    // Alone it asks for the program's version; after packing options it
    // sets the setup's.
    if (arguments.size() == 1 && arguments[0] == "--version") {
        options.showVersion = true;
        return options;
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h" || option == "/?") {
            options.help = true;
            return options;
        }
        if (option == "--make-transform") {
            options.makeTransform = true;
            continue;
        }
        static const char* const withValue[] = {
            "--msi",          "--transform", "--language",      "--languages", "--product-name",
            "--product-code", "--version",   "--log-path",      "--stub",      "--out",
            "--localized",    "--inspect",   "--extract",       "--sign-cert", "--sign-key",
            "--sign-pkcs12",  "--sign-ca",   "--timestamp-url", "--arch"};
        bool known = outputOption(options, option) != nullptr;
        for (const char* name : withValue)
            known = known || option == name;
        if (!known)
            throw usage(option,
                        option.compare(0, 1, "-") == 0 ? "unknown option" : "unexpected argument");
        if (i + 1 == arguments.size())
            throw usage(option, "needs a value");
        const std::string& value = arguments[++i];

        auto once = [&](std::optional<std::string>& field) {
            if (field)
                throw usage(option, "given twice");
            field = value;
        };
        if (option.compare(0, 7, "--sign-") == 0 || option == "--timestamp-url") {
            SigningOptions& signing = options.signing;
            std::string& field = option == "--sign-cert"     ? signing.certPath
                                 : option == "--sign-key"    ? signing.keyPath
                                 : option == "--sign-pkcs12" ? signing.pkcs12Path
                                 : option == "--sign-ca"     ? signing.caPath
                                                             : signing.timestampUrl;
            if (!field.empty())
                throw usage(option, "given twice");
            if (value.empty())
                throw usage(option, "needs a value");
            field = value;
        } else if (option == "--msi" || option == "--out") {
            bool& have = option == "--msi" ? haveMsi : haveOut;
            if (have)
                throw usage(option, "given twice");
            if (value.empty())
                throw usage(option, "needs a non-empty path");
            have = true;
            (option == "--msi" ? options.msiPath : options.outPath) = value;
        } else if (option == "--localized") {
            if (!options.localizedPath.empty())
                throw usage(option, "given twice");
            if (value.empty())
                throw usage(option, "needs a non-empty path");
            options.localizedPath = value;
        } else if (option == "--transform" || option == "--language") {
            std::string input = option + " " + value;
            size_t equals = value.find('=');
            if (equals == std::string::npos || equals + 1 == value.size())
                throw usage(input, "expects LCID=PATH");
            TransformInput transform;
            transform.lcid = checkLanguage(value.substr(0, equals), input);
            transform.path = value.substr(equals + 1);
            transform.localized = option == "--language";
            if (transform.lcid == setup_format::baseLanguage)
                throw PackError(packBadInput, input,
                                std::to_string(transform.lcid) +
                                    " is served by the package itself and takes no transform");
            // --transform and --language share the languages.
            for (const TransformInput& earlier : options.transforms)
                if (earlier.lcid == transform.lcid)
                    throw PackError(packBadInput, input,
                                    "a second transform for language " +
                                        std::to_string(transform.lcid));
            options.transforms.push_back(transform);
        } else if (option == "--languages") {
            once(options.languages);
            checkLanguageList(value, option);
        } else if (option == "--product-name") {
            once(options.productName);
            if (value.empty())
                throw PackError(packBadInput, option, "the product name is empty");
        } else if (option == "--product-code") {
            once(options.productCode);
            options.productCode = canonicalProductCode(value, option);
        } else if (option == "--version") {
            once(options.version);
            checkVersion(value, option);
        } else if (option == "--log-path") {
            once(options.logPath);
        } else if (option == "--inspect") {
            once(options.inspectPath);
        } else if (option == "--extract") {
            once(options.extractPath);
        } else if (option == "--arch") {
            if (options.arch)
                throw usage(option, "given twice");
            if (value != "x86" && value != "x64")
                throw usage(option, "expects x86 or x64, not \"" + value + "\"");
            options.arch = value == "x64" ? StubArch::x64 : StubArch::x86;
        } else if (std::optional<std::string>* field = outputOption(options, option)) {
            once(*field);
        } else {
            once(options.stubPath);
        }
    }
    checkOutputOptions(options, haveOut);
    if (options.inspectPath || options.extractPath) {
        const char* mode = options.inspectPath ? "--inspect" : "--extract";
        if (options.inspectPath && options.extractPath)
            throw usage("--extract", "does not go with --inspect");
        if (haveMsi || !options.transforms.empty() || options.languages || options.productName ||
            options.productCode || options.version || options.logPath || options.stubPath ||
            options.arch || options.makeTransform || !options.localizedPath.empty() ||
            options.signing.given())
            throw usage(mode, "takes no packing options");
        if (options.inspectPath && haveOut)
            throw usage("--out", "does not go with --inspect");
        if (options.extractPath && !haveOut)
            throw usage("--out", "is required: the folder to extract into");
        return options;
    }
    if (!haveMsi)
        throw usage("--msi", "is required");
    if (!haveOut && !options.outMsiPath)
        throw usage("--out", "is required");
    if (options.makeTransform) {
        if (options.localizedPath.empty())
            throw usage("--localized", "is required with --make-transform");
        // Only the three paths mean something here.
        if (!options.transforms.empty() || options.languages || options.productName ||
            options.productCode || options.version || options.logPath || options.stubPath ||
            options.arch || options.signing.given())
            throw usage("--make-transform", "takes only --msi, --localized and --out");
    } else if (!options.localizedPath.empty()) {
        throw usage("--localized", "needs --make-transform");
    }
    // --stub names the stub itself: an --arch beside it would say nothing
    // or contradict it.
    if (options.arch && options.stubPath)
        throw usage("--arch", "does not go with --stub, which names the stub itself");
    checkSigningOptions(options.signing);
    return options;
}
