#include "setup_pack/winget.h"

#include <memory>

#include "common/file_io.h"
#include "common/utf8.h"
#include "compound_file/compound_file.h"
#include "msi_database/database.h"
#include "pe/image.h"
#include "setup_pack/output_options.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_contents.h"
#include "setup_pack/setup_file.h"
#include "setup_pack/sha256.h"

namespace {

const char* const manifestVersion = "1.6.0";

// The locales of the languages the setup knows.
const struct {
    int32_t lcid;
    const char* locale;
} locales[] = {{1033, "en-US"}, {1036, "fr-FR"}, {1031, "de-DE"}, {1034, "es-ES"},
               {1040, "it-IT"}, {1043, "nl-NL"}, {1046, "pt-BR"}};

std::string utf8(const msi_database::Database& database, const char16_t* name) {
    return common::toUtf8(msi_database::property(database, name));
}

void checkLength(const std::string& text, size_t least, size_t most, const std::string& input,
                 const std::string& what) {
    size_t count = characters(text).size();
    if (count < least || count > most)
        throw PackError(packBadInput, input,
                        what + " \"" + text + "\" has " + std::to_string(count) +
                            " characters; winget takes " + std::to_string(least) + " to " +
                            std::to_string(most));
}

// What installs where: ALLUSERS=1 per machine, none per user; 2 lets the
// user's rights and MSIINSTALLPERUSER decide, which the package does not.
std::string scopeOf(const std::string& allUsers) {
    if (allUsers == "1")
        return "machine";
    return allUsers.empty() ? "user" : "";
}

// A YAML double-quoted scalar: what is not printable escaped, the rest as is.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    size_t at = 0; // where the character's UTF-8 bytes start in `text`
    for (char32_t c : characters(text)) {
        const size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c != 0x2028 && c != 0x2029 &&
                                               c != 0xFEFF && c != 0xFFFE && c != 0xFFFF)) {
            out.append(text, at, length);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            out += c < 0x100 ? "\\x" : "\\u";
            for (int shift = c < 0x100 ? 4 : 12; shift >= 0; shift -= 4)
                out += hex[(c >> shift) & 15];
        }
        at += length;
    }
    return out + "\"";
}

std::string header(const char* type) {
    return std::string("# yaml-language-server: $schema=https://aka.ms/winget-manifest.") + type +
           "." + manifestVersion + ".schema.json\n";
}

std::string footer(const char* type) {
    return std::string("ManifestType: ") + quoted(type) +
           "\nManifestVersion: " + quoted(manifestVersion) + "\n";
}

} // namespace

WingetManifest planWingetManifest(const PackCommand& options) {
    WingetManifest manifest;
    manifest.packageId = *options.packageId;
    manifest.installerUrl = *options.installerUrl;
    manifest.license = *options.license;

    std::unique_ptr<common::MappedFile> package = mapInput(options.msiPath);
    PackageInfo info;
    msi_database::Database database;
    try {
        info = readPackageInfo(package->bytes());
        compound_file::Reader file(package->bytes());
        database = msi_database::readTables(file, {u"Property", u"Directory"});
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, options.msiPath, error.what());
    }
    const std::string& msi = options.msiPath;
    const std::string language = utf8(database, u"ProductLanguage");
    for (const auto& known : locales)
        if (language == std::to_string(known.lcid))
            manifest.locale = known.locale;
    if (manifest.locale.empty())
        throw PackError(packBadInput, msi,
                        "its ProductLanguage \"" + language +
                            "\" is no language the setup knows, so no winget locale");
    for (const msi_database::Table& table : database.tables)
        if (table.name == u"Directory")
            for (const std::vector<msi_database::Cell>& row : table.rows)
                manifest.installLocation =
                    manifest.installLocation || (!row.empty() && row[0].text() == u"INSTALLDIR");
    manifest.scope = scopeOf(utf8(database, u"ALLUSERS"));

    manifest.version = options.version.value_or(info.productVersion);
    manifest.productCode = options.productCode.value_or(info.productCode);
    manifest.packageName = options.productName.value_or(info.productName);
    manifest.shortDescription = manifest.packageName;
    checkLength(manifest.packageName, 3, 256, options.productName ? "--product-name" : msi,
                "the product name");
    manifest.displayName = info.productName;
    checkLength(manifest.displayName, 1, 256, msi, "ProductName");
    manifest.displayVersion = info.productVersion;
    checkLength(manifest.displayVersion, 1, 128, msi, "ProductVersion");
    manifest.entryProductCode = info.productCode;
    manifest.upgradeCode = utf8(database, u"UpgradeCode");
    manifest.displayPublisher = utf8(database, u"Manufacturer");
    if (!manifest.displayPublisher.empty())
        checkLength(manifest.displayPublisher, 1, 256, msi, "Manufacturer");
    manifest.publisher = options.publisher.value_or(manifest.displayPublisher);
    if (manifest.publisher.empty())
        throw PackError(packBadInput, msi, "has no Manufacturer property: give --publisher");
    if (!options.publisher)
        checkLength(manifest.publisher, 2, 256, msi, "Manufacturer, the publisher,");

    const std::string stubPath = stubPathOf(options);
    std::unique_ptr<common::MappedFile> stub = mapInput(stubPath);
    const uint16_t machine = readProgram(stub->bytes(), stubPath).headers().machine;
    if (machine != pe::machineI386 && machine != pe::machineAmd64)
        throw PackError(packBadInput, stubPath, "is a program for neither x86 nor x64");
    manifest.architecture = architectureName(machine);
    return manifest;
}

std::vector<std::pair<std::string, std::string>> wingetFiles(const WingetManifest& m) {
    const std::string id = "PackageIdentifier: " + quoted(m.packageId) + "\n" +
                           "PackageVersion: " + quoted(m.version) + "\n";
    std::string version =
        header("version") + id + "DefaultLocale: " + quoted(m.locale) + "\n" + footer("version");

    std::string installer = header("installer") + id + "InstallerLocale: " + quoted(m.locale) +
                            "\nInstallerType: " + quoted("exe") + "\n";
    if (!m.scope.empty())
        installer += "Scope: " + quoted(m.scope) + "\n";
    installer += "InstallModes:\n";
    for (const char* mode : {"interactive", "silent", "silentWithProgress"})
        installer += "  - " + quoted(mode) + "\n";
    installer += "InstallerSwitches:\n  Silent: " + quoted("/S") +
                 "\n  SilentWithProgress: " + quoted("/P") + "\n";
    if (m.installLocation)
        installer += "  InstallLocation: " + quoted("INSTALLDIR=\"<INSTALLPATH>\"") + "\n";
    installer += "  Log: " + quoted("/log \"<LOGPATH>\"") + "\nExpectedReturnCodes:\n";
    const std::pair<int, const char*> codes[] = {{1602, "cancelledByUser"},
                                                 {1618, "installInProgress"},
                                                 {1638, "downgrade"},
                                                 {1639, "invalidParameter"},
                                                 {3010, "rebootRequiredToFinish"}};
    for (const auto& code : codes)
        installer += "  - InstallerReturnCode: " + std::to_string(code.first) +
                     "\n    ReturnResponse: " + quoted(code.second) + "\n";
    installer += "ProductCode: " + quoted(m.productCode) + "\nAppsAndFeaturesEntries:\n" +
                 "  - DisplayName: " + quoted(m.displayName) + "\n";
    if (!m.displayPublisher.empty())
        installer += "    Publisher: " + quoted(m.displayPublisher) + "\n";
    installer += "    DisplayVersion: " + quoted(m.displayVersion) + "\n" +
                 "    ProductCode: " + quoted(m.entryProductCode) + "\n";
    if (!m.upgradeCode.empty())
        installer += "    UpgradeCode: " + quoted(m.upgradeCode) + "\n";
    installer += "Installers:\n  - Architecture: " + quoted(m.architecture) + "\n" +
                 "    InstallerUrl: " + quoted(m.installerUrl) + "\n" +
                 "    InstallerSha256: " + quoted(m.installerSha256) + "\n" + footer("installer");

    std::string locale =
        header("defaultLocale") + id + "PackageLocale: " + quoted(m.locale) +
        "\nPublisher: " + quoted(m.publisher) + "\nPackageName: " + quoted(m.packageName) +
        "\nLicense: " + quoted(m.license) + "\nShortDescription: " + quoted(m.shortDescription) +
        "\n" + footer("defaultLocale");
    return {{m.packageId + ".yaml", version},
            {m.packageId + ".installer.yaml", installer},
            {m.packageId + ".locale." + m.locale + ".yaml", locale}};
}

void writeWingetManifest(WingetManifest manifest, const PackCommand& options) {
    {
        std::unique_ptr<common::MappedFile> setup =
            mapInput(options.outPath, uint64_t(0xFFFFFFFF), "4 GiB");
        manifest.installerSha256 = sha256Hex(setup->bytes().data, setup->bytes().size);
        for (char& c : manifest.installerSha256)
            c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    }
    const std::string& folder = *options.wingetFolder;
    writingTo(folder, [&] { common::createFolder(folder); });
    for (const auto& file : wingetFiles(manifest)) {
        const std::string path = common::joinPath(folder, file.first);
        writingTo(path, [&] { common::writeWholeFile(path, file.second); });
        common::print(common::Output::Standard, "setup-pack: wrote " + path + "\n");
    }
}
