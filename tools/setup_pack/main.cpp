// setup-pack: turns a product's installer package and its language
// transforms into the product's setup.exe. The same code on every host; only
// common/file_io talks to the system.
#include <memory>
#include <string>
#include <vector>

#include "base/setup_format.h"
#include "common/file_io.h"
#include "common/format_error.h"
#include "setup_pack/language_package.h"
#include "setup_pack/language_transforms.h"
#include "setup_pack/options.h"
#include "setup_pack/outputs.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_contents.h"
#include "setup_pack/setup_file.h"
#include "setup_pack/sha256.h"
#include "setup_pack/signing.h"

#ifndef SETUP_PACK_VERSION
#error "SETUP_PACK_VERSION: the build passes the project's version"
#endif

namespace {

using common::Output;

// A setup holds one payload of at most 1 GiB and its transforms; no PE
// image can pass 4 GiB.
const uint64_t maxSetupBytes = uint64_t(0xFFFFFFFF);

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

PackageInfo packageInfo(common::ByteView package, const std::string& path) {
    try {
        return readPackageInfo(package);
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, path, error.what());
    }
}

// --stub, else the default stub of --arch (x86 without it).
std::string stubPathOf(const PackOptions& options) {
    return options.stubPath ? *options.stubPath
                            : defaultStubPath(stubFileName(options.arch.value_or(StubArch::x86)));
}

void checkOverwrites(const PackOptions& options, const std::string& stubPath) {
    if (common::sameFile(options.outPath, stubPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the stub");
    if (common::sameFile(options.outPath, options.msiPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the package");
    for (const TransformInput& transform : options.transforms)
        if (common::sameFile(options.outPath, transform.path))
            throw PackError(packBadInput, options.outPath,
                            "the output would overwrite a transform");
}

// Every input is read and checked before anything is written. Returns what
// was packed: "NAME VERSION CODE, languages LIST".
std::string packSetup(const PackOptions& options) {
    std::string stubPath = stubPathOf(options);
    checkOverwrites(options, stubPath);

    std::unique_ptr<common::MappedFile> package = mapInput(options.msiPath);
    PackageInfo info = packageInfo(package->bytes(), options.msiPath);
    std::vector<PackResource> resources = {{setup_format::packageResource, package->bytes()}};

    std::vector<LanguageTransform> transforms;
    transforms.reserve(options.transforms.size());
    for (const TransformInput& transform : options.transforms) {
        transforms.push_back(languageTransform(transform, package->bytes(), options.msiPath));
        char name[setup_format::transformNameCapacity];
        setup_format::transformResourceName(transform.lcid, name);
        resources.push_back({name, transforms.back().bytes()});
    }

    // The package's own values must satisfy the same rules as the options.
    std::string productCode =
        options.productCode
            ? *options.productCode
            : canonicalProductCode(info.productCode, options.msiPath + " (ProductCode)");
    std::string version = options.version ? *options.version : info.productVersion;
    if (!options.version)
        checkVersion(version, options.msiPath + " (ProductVersion)");
    std::string productName = options.productName ? *options.productName : info.productName;
    std::string languages =
        options.languages ? *options.languages : defaultLanguageList(options.transforms);

    std::unique_ptr<common::MappedFile> stubFile;
    try {
        stubFile = mapInput(stubPath);
    } catch (const PackError& error) {
        // Say which input could not be opened: the stub may be the default.
        std::string reason = error.what();
        const std::string open = "cannot open: ";
        if (reason.compare(0, open.size(), open) == 0)
            reason = "cannot open the stub: " + reason.substr(open.size());
        throw PackError(error.exitCode(), error.input(), reason);
    }
    pe::Image stub = readProgram(stubFile->bytes(), stubPath);
    checkStub(stub, stubPath);

    const std::string packageName = fileName(options.msiPath);
    // The setup writes the package and the transform side by side.
    for (const TransformInput& transform : options.transforms)
        if (sameFileName(packageName, transformFileName(transform.lcid)))
            throw PackError(packBadInput, options.msiPath,
                            "the package's file name is the one the setup gives the transform "
                            "of language " +
                                std::to_string(transform.lcid) + "; rename it");
    struct Named {
        const char* name;
        const std::string* text;
    } texts[] = {{setup_format::packageNameResource, &packageName},
                 {setup_format::productCodeResource, &productCode},
                 {setup_format::productNameResource, &productName},
                 {setup_format::versionResource, &version},
                 {setup_format::languagesResource, &languages},
                 {setup_format::logPathResource, options.logPath ? &*options.logPath : nullptr}};
    std::vector<common::Bytes> textBytes;
    textBytes.reserve(sizeof texts / sizeof texts[0]);
    for (const Named& text : texts) {
        if (!text.text)
            continue;
        textBytes.push_back(wideTextResource(*text.text));
        resources.push_back({text.name, textBytes.back()});
    }

    std::vector<const common::MappedFile*> sources = {package.get()};
    for (const LanguageTransform& transform : transforms)
        if (transform.file)
            sources.push_back(transform.file.get());
    writeSetup(stub, stubPath, options.outPath, resources, sources);
    return productName + " " + version + " " + productCode + ", languages " + languages;
}

int pack(const PackOptions& options) {
    std::string packed = packSetup(options);
    common::print(Output::Standard, "setup-pack: wrote " + options.outPath + ": " + packed + "\n");
    return packSuccess;
}

// The package is signed first and its signed copy packed: the output must
// not overwrite the inputs named on the command line either.
int packSignedSetup(const PackOptions& options) {
    checkOverwrites(options, stubPathOf(options));
    // Read here, not first from the signed copy: a broken package is named
    // by its own path.
    std::unique_ptr<common::MappedFile> package = mapInput(options.msiPath);
    PackageInfo info = packageInfo(package->bytes(), options.msiPath);
    package.reset();
    std::string description = options.productName ? *options.productName : info.productName;
    std::string packed;
    packSigned(options.signing, description, options.msiPath, options.outPath,
               [&](const std::string& signedMsi, const std::string& unsignedOut) {
                   PackOptions copy = options;
                   copy.msiPath = signedMsi;
                   copy.outPath = unsignedOut;
                   try {
                       packed = packSetup(copy);
                   } catch (const PackError& error) {
                       // Messages name the files the user gave.
                       std::string input = error.input();
                       for (const auto& path : {std::make_pair(signedMsi, options.msiPath),
                                                std::make_pair(unsignedOut, options.outPath)})
                           if (input.compare(0, path.first.size(), path.first) == 0)
                               input = path.second + input.substr(path.first.size());
                       throw PackError(error.exitCode(), input, error.what());
                   }
               });
    common::print(Output::Standard, "setup-pack: wrote " + options.outPath + ": " + packed +
                                        "\nsetup-pack: signed " + options.outPath +
                                        " and its package as \"" + description +
                                        "\"; both signatures verify\n");
    return packSuccess;
}

// The program's version and the stubs it fills by default: the 32-bit one,
// which it needs, and the x86-64 one of --arch x64 where it is there.
int showVersion() {
    common::print(Output::Standard, "setup-pack " SETUP_PACK_VERSION "\n");
    std::string stubPath = defaultStubPath();
    std::unique_ptr<common::MappedFile> stub = mapInput(stubPath);
    common::print(Output::Standard, "stub: " + stubPath + ", SHA-256 " +
                                        sha256Hex(stub->bytes().data, stub->bytes().size) + "\n");
    std::string x64Path = defaultStubPath(stubFileName(StubArch::x64));
    if (common::isFile(x64Path)) {
        std::unique_ptr<common::MappedFile> x64 = mapInput(x64Path);
        common::print(Output::Standard, "stub x64: " + x64Path + ", SHA-256 " +
                                            sha256Hex(x64->bytes().data, x64->bytes().size) +
                                            "\n");
    } else {
        common::print(Output::Standard, "stub x64: none at " + x64Path + "\n");
    }
    return packSuccess;
}

std::string describe(common::ByteView bytes) {
    return std::to_string(bytes.size) + " bytes, SHA-256 " + sha256Hex(bytes.data, bytes.size);
}

bool sameText(const std::string& a, const std::string& b) {
    return a == b;
}

// Prints what the setup carries; exit 2 naming each text that disagrees
// with the package's own property (the product code without regard to
// case, as the Windows Installer compares it).
int inspect(const std::string& path) {
    std::unique_ptr<common::MappedFile> file =
        mapInput(path, maxSetupBytes, "4 GiB, more than any setup");
    SetupContents setup = readSetupContents(readProgram(file->bytes(), path));
    auto text = [](const std::optional<std::string>& value) {
        return value ? *value : std::string("(none)");
    };
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
    common::print(Output::Standard, report);
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

int extract(const std::string& path, const std::string& folder) {
    std::unique_ptr<common::MappedFile> file =
        mapInput(path, maxSetupBytes, "4 GiB, more than any setup");
    SetupContents setup = readSetupContents(readProgram(file->bytes(), path));
    for (const std::string& written : extractSetup(setup, path, folder))
        common::print(Output::Standard, "setup-pack: wrote " + written + "\n");
    return packSuccess;
}

int run(const std::vector<std::string>& arguments) {
    PackOptions options = parsePackOptions(arguments);
    if (options.help) {
        common::print(Output::Standard, packUsageText());
        return packSuccess;
    }
    if (options.showVersion)
        return showVersion();
    if (options.inspectPath)
        return isCompoundFile(*options.inspectPath) ? inspectPackage(*options.inspectPath)
                                                    : inspect(*options.inspectPath);
    if (options.extractPath)
        return isCompoundFile(*options.extractPath)
                   ? extractPackage(*options.extractPath, options.outPath)
                   : extract(*options.extractPath, options.outPath);
    if (options.makeTransform) {
        writeTransformFile(options);
        common::print(Output::Standard, "setup-pack: wrote " + options.outPath +
                                            ": the transform from " + options.msiPath + " to " +
                                            options.localizedPath + "\n");
        return packSuccess;
    }
    return packOutputs(options, [&options] {
        return options.signing.requested() ? packSignedSetup(options) : pack(options);
    });
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(common::commandLine(argc, argv));
    } catch (const common::ArgumentError& error) {
        common::print(Output::Error, "setup-pack: argument " + std::to_string(error.position()) +
                                         " \"" + error.shown() + "\": " + error.what() +
                                         " (see --help)\n");
        return packUsage;
    } catch (const PackError& error) {
        common::print(Output::Error, "setup-pack: " + error.input() + ": " + error.what() + "\n");
        return error.exitCode();
    } catch (const std::exception& error) {
        common::print(Output::Error, std::string("setup-pack: ") + error.what() + "\n");
        return packWriteFailed;
    }
}
