#include "setup_pack/commands.h"

#include "base/setup_format.h"
#include "setup_pack/output_options.h"

struct ParsedLine {
    PackCommand pack; // and the paths of the other commands
    bool makeTransform = false, exportTexts = false;
    std::string localizedPath;
    std::optional<std::string> inspectPath, extractPath;
    std::vector<const OptionSpec*> given;

    // The first option given that none of `commands` takes.
    const OptionSpec* givenOutside(unsigned commands) const {
        for (const OptionSpec* option : given)
            if (!(option->commands & commands))
                return option;
        return nullptr;
    }
};

namespace {

void once(std::optional<std::string>& field, const std::string& option, const std::string& value) {
    if (field)
        throw usageError(option, "given twice");
    field = value;
}

// A text that must not be empty either: `reason` says so.
void onceNonEmpty(std::string& field, const std::string& option, const std::string& value,
                  const char* reason) {
    if (!field.empty())
        throw usageError(option, "given twice");
    if (value.empty())
        throw usageError(option, reason);
    field = value;
}

void readPath(std::string& field, const std::string& option, const std::string& value) {
    onceNonEmpty(field, option, value, "needs a non-empty path");
}

// One of the signing options, `field` of SigningOptions.
template <std::string SigningOptions::*field>
void readSigning(ParsedLine& line, const std::string& option, const std::string& value) {
    onceNonEmpty(line.pack.signing.*field, option, value, "needs a value");
}

void readTransform(ParsedLine& line, const std::string& option, const std::string& value) {
    std::string input = option + " " + value;
    size_t equals = value.find('=');
    if (equals == std::string::npos || equals + 1 == value.size())
        throw usageError(input, "expects LCID=PATH");
    TransformInput transform;
    transform.lcid = checkLanguage(value.substr(0, equals), input);
    transform.path = value.substr(equals + 1);
    transform.source = option == "--language"      ? TransformInput::Localized
                       : option == "--translation" ? TransformInput::Translation
                                                   : TransformInput::Transform;
    if (transform.lcid == setup_format::baseLanguage)
        throw PackError(packBadInput, input,
                        std::to_string(transform.lcid) +
                            " is served by the package itself and takes no transform");
    // --transform and --language share the languages.
    for (const TransformInput& earlier : line.pack.transforms)
        if (earlier.lcid == transform.lcid)
            throw PackError(packBadInput, input,
                            "a second transform for language " + std::to_string(transform.lcid));
    line.pack.transforms.push_back(transform);
}

using Option = const std::string&;
const char* const makeTransformTakes =
    "takes only --msi, --localized or one --translation, and --out";
const char* const exportTextsTakes = "takes only --msi, --localized and --out";
const unsigned packing = forPack | forMakeTransform;

const std::vector<OptionSpec> table = {
    {"--msi", true, packing | forExportTexts,
     "  --msi PATH              the product's Windows Installer package\n", nullptr, nullptr,
     [](ParsedLine& line, Option option, Option value) {
         readPath(line.pack.msiPath, option, value);
     }},
    {"--language", true, forPack,
     "  --language LCID=PATH    a localized package of the same product for a\n"
     "                          language other than 1033 (1031, 1034, 1036, 1040,\n"
     "                          1043, 1046): its transform is made and embedded;\n"
     "                          repeatable\n",
     nullptr, nullptr, readTransform},
    {"--transform", true, forPack,
     "  --transform LCID=PATH   a ready-made transform for such a language\n", nullptr, nullptr,
     readTransform},
    {"--translation", true, packing,
     "  --translation LCID=PO   a PO file that translates the package's texts (see\n"
     "                          --export-texts): its transform is made and\n"
     "                          embedded; repeatable\n",
     nullptr, nullptr, readTransform},
    {"--languages", true, forPack,
     "  --languages LIST        languages offered, e.g. 1033;1036\n"
     "                          (default: 1033 and the languages' LCIDs in order)\n",
     &PackCommand::languages, checkLanguageList},
    {"--product-name", true, forPack,
     "  --product-name TEXT     default: the package's ProductName\n", &PackCommand::productName,
     [](Option value, Option option) {
         if (value.empty())
             throw PackError(packBadInput, option, "the product name is empty");
     }},
    {"--product-code", true, forPack,
     "  --product-code GUID     default: the package's ProductCode\n", nullptr, nullptr,
     [](ParsedLine& line, Option option, Option value) {
         once(line.pack.productCode, option, value);
         line.pack.productCode = canonicalProductCode(value, option);
     }},
    {"--version", true, forPack,
     "  --version TEXT          default: the package's ProductVersion; one to four\n"
     "                          numbers 0-65535 separated by dots\n",
     &PackCommand::version, checkVersion},
    {"--log-path", true, forPack,
     "  --log-path PATH         the installer's log file on the target machine\n",
     &PackCommand::logPath},
    {"--arch", true, forPack,
     "  --arch x86|x64          the stub to fill: setup.exe for 32-bit Windows\n"
     "                          (x86, the default) or setup-x64.exe for 64-bit\n"
     "                          Windows (x64)\n",
     nullptr, nullptr,
     [](ParsedLine& line, Option option, Option value) {
         if (line.pack.arch)
             throw usageError(option, "given twice");
         if (value != "x86" && value != "x64")
             throw usageError(option, "expects x86 or x64, not \"" + value + "\"");
         line.pack.arch = value == "x64" ? StubArch::x64 : StubArch::x86;
     }},
    {"--stub", true, forPack,
     "  --stub PATH             the setup stub to fill, instead of --arch\n",
     &PackCommand::stubPath},
    {"--out", true, packing | forExtract | forExportTexts,
     "  --out PATH              the setup program to write; written only on success\n", nullptr,
     nullptr,
     [](ParsedLine& line, Option option, Option value) {
         readPath(line.pack.outPath, option, value);
     }},
    {"--out-msi", true, forPack,
     "  --out-msi PATH          the package with each transform stored in it, for\n"
     "                          msiexec TRANSFORMS=:1036; with --out or alone\n",
     &PackCommand::outMsiPath},
    {"--winget", true, forPack,
     "  --winget FOLDER         writes the setup's winget manifests (1.6.0) there:\n"
     "                          ID.yaml, ID.installer.yaml, ID.locale.LOCALE.yaml\n",
     &PackCommand::wingetFolder},
    {"--package-id", true, forPack,
     "  --package-id ID         their PackageIdentifier, Publisher.Product\n",
     &PackCommand::packageId},
    {"--installer-url", true, forPack,
     "  --installer-url URL     where the setup will be downloaded from\n",
     &PackCommand::installerUrl},
    {"--license", true, forPack,
     "  --license TEXT          the product's license, as the manifest must name it\n",
     &PackCommand::license},
    {"--publisher", true, forPack,
     "  --publisher TEXT        default: the package's Manufacturer\n", &PackCommand::publisher},
    {"--inspect", true, forInspect,
     "  --inspect SETUP         prints what a setup carries and checks its texts\n"
     "                          against its package's properties (exit 2: mismatch)\n",
     nullptr, nullptr,
     [](ParsedLine& line, Option option, Option value) { once(line.inspectPath, option, value); }},
    // Its lines go on with what both do with a package.
    {"--extract", true, forExtract,
     "  --extract SETUP         writes its package and transforms into --out FOLDER\n"
     "                          under the names the setup gives them\n"
     "  --inspect PACKAGE       prints the transforms stored in a package\n"
     "  --extract PACKAGE       writes them into --out FOLDER as LCID.mst\n",
     nullptr, nullptr,
     [](ParsedLine& line, Option option, Option value) { once(line.extractPath, option, value); }},
    {"--make-transform", false, forMakeTransform,
     "\n"
     "  --make-transform        write only the transform from --msi to --localized,\n"
     "                          or by one --translation, as --out (for deploying\n"
     "                          the package with it)\n",
     nullptr, nullptr, [](ParsedLine& line, Option, Option) { line.makeTransform = true; }},
    {"--export-texts", false, forExportTexts,
     "  --export-texts          write the texts of --msi that a user sees as a PO\n"
     "                          template to --out; with --localized, translated as\n"
     "                          that localized build has them\n",
     nullptr, nullptr, [](ParsedLine& line, Option, Option) { line.exportTexts = true; }},
    {"--localized", true, forMakeTransform | forExportTexts, "", nullptr, nullptr,
     [](ParsedLine& line, Option option, Option value) {
         readPath(line.localizedPath, option, value);
     }},
    {"--sign-cert", true, forPack,
     "\n"
     "Signing (Authenticode, by osslsigncode): the package is signed with the\n"
     "product name as description, packed, the setup signed, both verified.\n"
     "  --sign-cert FILE --sign-key FILE  certificate and key (PEM or DER)\n",
     nullptr, nullptr, readSigning<&SigningOptions::certPath>},
    {"--sign-key", true, forPack, "", nullptr, nullptr, readSigning<&SigningOptions::keyPath>},
    {"--sign-pkcs12", true, forPack,
     "  --sign-pkcs12 FILE      both in one file; password in SETUP_PACK_SIGN_PASSWORD\n", nullptr,
     nullptr, readSigning<&SigningOptions::pkcs12Path>},
    {"--sign-ca", true, forPack,
     "  --sign-ca FILE          verify the signatures against this\n"
     "                          (default: the signing certificate)\n",
     nullptr, nullptr, readSigning<&SigningOptions::caPath>},
    {"--timestamp-url", true, forPack, "  --timestamp-url URL     RFC 3161 time-stamping service\n",
     nullptr, nullptr, readSigning<&SigningOptions::timestampUrl>},
    // Alone it asks for the program's version; after packing options it
    // sets the setup's (above).
    {"--version", false, forVersion,
     "\n"
     "  --version               alone: the program's version and its stub's SHA-256\n",
     nullptr},
    // These end the reading, whatever follows.
    {"--help", false, forHelp, ""},
    {"-h", false, forHelp, ""},
    {"/?", false, forHelp, ""},
};

// The option of that name read amid others.
const OptionSpec* find(const std::string& name) {
    for (const OptionSpec& option : table)
        if (option.commands != forVersion && name == option.name)
            return &option;
    return nullptr;
}

// Throws PackError (packUsage) unless the signing options are either none
// or a certificate with its key, or a PKCS#12 file alone.
void checkSigningOptions(const SigningOptions& options) {
    if (!options.requested()) {
        if (options.given())
            throw usageError(options.timestampUrl.empty() ? "--sign-ca" : "--timestamp-url",
                             "signing options need --sign-cert and --sign-key, or --sign-pkcs12");
        return;
    }
    if (!options.pkcs12Path.empty()) {
        if (!options.certPath.empty() || !options.keyPath.empty())
            throw usageError("--sign-pkcs12", "give it alone, without --sign-cert and --sign-key");
    } else if (options.certPath.empty()) {
        throw usageError("--sign-key", "needs --sign-cert");
    } else if (options.keyPath.empty()) {
        throw usageError("--sign-cert", "needs --sign-key");
    }
}

} // namespace

const std::vector<OptionSpec>& optionTable() {
    return table;
}

const char* stubFileName(StubArch arch) {
    return arch == StubArch::x64 ? "setup-x64.exe" : "setup.exe";
}

const std::string& packUsageText() {
    static const std::string text = [] {
        std::string usage =
            "usage: setup-pack --msi PATH [--language LCID=PATH]... [--transform LCID=PATH]...\n"
            "                  [--translation LCID=PO]... [--languages LIST]\n"
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
            "       setup-pack --make-transform --msi PATH --translation LCID=PO --out PATH\n"
            "       setup-pack --export-texts --msi PATH [--localized PATH] --out PATH\n"
            "       setup-pack --help | --version\n"
            "\n"
            "Copies the setup stub (--stub, else setup.exe, or setup-x64.exe with\n"
            "--arch x64, beside setup-pack, else in ../share/setup-pack/ from its\n"
            "folder) to --out and embeds the package, one transform per extra\n"
            "language and the texts the setup reads.\n"
            "\n";
        for (const OptionSpec& option : table)
            usage += option.help;
        return usage + "\n"
                       "Exit codes: 0 success, 1 bad command line, 2 bad input, 3 output not "
                       "written.\n";
    }();
    return text;
}

Command parseCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1)
        for (const OptionSpec& option : table)
            if (option.commands == forVersion && arguments[0] == option.name)
                return VersionCommand{};
    ParsedLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        const OptionSpec* option = find(name);
        if (!option)
            throw usageError(name, name.compare(0, 1, "-") == 0 ? "unknown option"
                                                                : "unexpected argument");
        if (option->commands == forHelp)
            return HelpCommand{};
        if (option->takesValue && i + 1 == arguments.size())
            throw usageError(name, "needs a value");
        const std::string value = option->takesValue ? arguments[++i] : std::string();
        if (option->text) {
            once(line.pack.*option->text, name, value);
            if (option->check)
                option->check(value, name);
        } else {
            option->read(line, name, value);
        }
        line.given.push_back(option);
    }
    PackCommand& pack = line.pack;
    const bool haveOut = !pack.outPath.empty();
    if (hasOutputOptions(pack)) {
        if (line.inspectPath || line.extractPath)
            throw usageError(line.inspectPath ? "--inspect" : "--extract",
                             "takes no packing options");
        if (line.makeTransform)
            throw usageError("--make-transform", makeTransformTakes);
        if (line.exportTexts)
            throw usageError("--export-texts", exportTextsTakes);
        checkOutputOptions(pack);
    }
    if (line.inspectPath || line.extractPath) {
        if (line.inspectPath && line.extractPath)
            throw usageError("--extract", "does not go with --inspect");
        if (line.givenOutside(forInspect | forExtract))
            throw usageError(line.inspectPath ? "--inspect" : "--extract",
                             "takes no packing options");
        if (line.inspectPath && haveOut)
            throw usageError("--out", "does not go with --inspect");
        if (line.inspectPath)
            return InspectCommand{*line.inspectPath};
        if (!haveOut)
            throw usageError("--out", "is required: the folder to extract into");
        return ExtractCommand{*line.extractPath, pack.outPath};
    }
    if (pack.msiPath.empty())
        throw usageError("--msi", "is required");
    if (!haveOut && !pack.outMsiPath)
        throw usageError("--out", "is required");
    if (line.makeTransform && line.exportTexts)
        throw usageError("--export-texts", "does not go with --make-transform");
    if (line.makeTransform) {
        // Only the three paths mean something here.
        if (line.givenOutside(forMakeTransform))
            throw usageError("--make-transform", makeTransformTakes);
        if (!pack.transforms.empty() && !line.localizedPath.empty())
            throw usageError("--translation", "does not go with --localized");
        if (pack.transforms.size() > 1)
            throw usageError("--translation", "is one with --make-transform, which writes one "
                                              "transform");
        if (pack.transforms.empty() && line.localizedPath.empty())
            throw usageError("--localized", "is required with --make-transform");
        TransformInput source = pack.transforms.empty() ? TransformInput{TransformInput::Localized,
                                                                         0, line.localizedPath}
                                                        : pack.transforms[0];
        return MakeTransformCommand{pack.msiPath, source, pack.outPath};
    }
    if (line.exportTexts) {
        if (line.givenOutside(forExportTexts))
            throw usageError("--export-texts", exportTextsTakes);
        std::optional<std::string> localized;
        if (!line.localizedPath.empty())
            localized = line.localizedPath;
        return ExportTextsCommand{pack.msiPath, localized, pack.outPath};
    }
    if (!line.localizedPath.empty())
        throw usageError("--localized", "needs --make-transform or --export-texts");
    // --stub names the stub itself: an --arch beside it would say nothing
    // or contradict it.
    if (pack.arch && pack.stubPath)
        throw usageError("--arch", "does not go with --stub, which names the stub itself");
    checkSigningOptions(pack.signing);
    return pack;
}
