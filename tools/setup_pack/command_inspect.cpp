// --inspect: what a setup carries, checked against its package, or the
// transforms stored in a package.
#include "base/setup_format.h"
#include "common/format_error.h"
#include "setup_pack/language_package.h"
#include "setup_pack/package_info.h"
#include "setup_pack/run_commands.h"
#include "setup_pack/setup_contents.h"
#include "setup_pack/sha256.h"

namespace {

using common::Output;

std::string describe(common::ByteView bytes) {
    return std::to_string(bytes.size) + " bytes, SHA-256 " + sha256Hex(bytes.data, bytes.size);
}

std::string text(const std::optional<std::string>& value) {
    return value ? *value : std::string("(none)");
}

bool sameText(const std::string& a, const std::string& b) {
    return a == b;
}

std::string report(const SetupContents& setup) {
    std::string report = "product name: " + text(setup.productName) + "\n" +
                         "product code: " + text(setup.productCode) + "\n" +
                         "version: " + text(setup.version) + "\n" +
                         "architecture: " + architectureName(setup.machine) + "\n";
    report += "package: " + text(setup.packageName) +
              (setup.package ? ", " + describe(*setup.package) : ", (no package)") + "\n";
    for (const SetupTransform& transform : setup.transforms)
        report += "language " + std::to_string(transform.lcid) + ": " +
                  transformFileName(transform.lcid) + ", " + describe(transform.bytes) + "\n";
    report += std::string(setup_format::languagesResource) + ": " + text(setup.languages) + "\n";
    report += std::string(setup_format::logPathResource) + ": " + text(setup.logPath) + "\n";
    report += "signed: " +
              (setup.certificateSize
                   ? "yes (" + std::to_string(setup.certificateSize) + " bytes of certificates)"
                   : std::string("no")) +
              "\n";
    return report;
}

} // namespace

// Prints what the setup carries; exit 2 naming each text that disagrees
// with the package's own property (the product code without regard to
// case, as the Windows Installer compares it).
int runCommand(const InspectCommand& command) {
    const std::string& path = command.path;
    if (isCompoundFile(path))
        return inspectPackage(path);
    SetupFile file = readSetupFile(path);
    const SetupContents& setup = file.contents;
    common::print(Output::Standard, report(setup));
    if (!setup.package)
        throw PackError(packBadInput, path, "carries no package");

    PackageInfo info;
    try {
        info = readPackageInfo(*setup.package);
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, path, std::string("its package: ") + error.what());
    }
    struct Pair {
        const char* resource;
        const std::optional<std::string>& text;
        const char* property;
        const std::string& value;
        bool (*same)(const std::string&, const std::string&);
    } pairs[] = {{setup_format::productCodeResource, setup.productCode, "ProductCode",
                  info.productCode, sameProductCode},
                 {setup_format::productNameResource, setup.productName, "ProductName",
                  info.productName, sameText},
                 {setup_format::versionResource, setup.version, "ProductVersion",
                  info.productVersion, sameText}};
    int mismatches = 0;
    for (const Pair& pair : pairs) {
        if (pair.text && pair.same(*pair.text, pair.value))
            continue;
        ++mismatches;
        common::print(Output::Error, "setup-pack: " + path + ": " + pair.resource + " \"" +
                                         text(pair.text) + "\" differs from the package's " +
                                         pair.property + " \"" + pair.value + "\"\n");
    }
    return mismatches ? packBadInput : packSuccess;
}
