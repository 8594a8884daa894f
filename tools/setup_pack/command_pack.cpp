// Packing: the setup of --out, signed or not, beside the package of
// --out-msi and the manifests of --winget (outputs.h).
#include "base/setup_format.h"
#include "common/file_io.h"
#include "common/format_error.h"
#include "setup_pack/language_transforms.h"
#include "setup_pack/outputs.h"
#include "setup_pack/package_info.h"
#include "setup_pack/run_commands.h"
#include "setup_pack/setup_contents.h"
#include "setup_pack/setup_file.h"

namespace {

using common::Output;

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

void checkOverwrites(const PackCommand& command, const std::string& stubPath) {
    const std::string& out = command.outPath;
    if (common::sameFile(out, stubPath))
        throw PackError(packBadInput, out, "the output would overwrite the stub");
    if (common::sameFile(out, command.msiPath))
        throw PackError(packBadInput, out, "the output would overwrite the package");
    for (const TransformInput& transform : command.transforms)
        if (common::sameFile(out, transform.path))
            throw PackError(packBadInput, out, "the output would overwrite a transform");
}

// The texts the setup reads, each from its option or else the package; the
// package's own values must satisfy the same rules as the options.
struct SetupTexts {
    std::string packageName, productCode, productName, version, languages;
};

SetupTexts setupTexts(const PackCommand& command, const PackageInfo& info) {
    SetupTexts texts;
    texts.packageName = fileName(command.msiPath);
    texts.productCode =
        command.productCode
            ? *command.productCode
            : canonicalProductCode(info.productCode, command.msiPath + " (ProductCode)");
    texts.version = command.version ? *command.version : info.productVersion;
    if (!command.version)
        checkVersion(texts.version, command.msiPath + " (ProductVersion)");
    texts.productName = command.productName ? *command.productName : info.productName;
    texts.languages =
        command.languages ? *command.languages : defaultLanguageList(command.transforms);
    return texts;
}

// The stub, named as the stub when it cannot be opened: it may be the
// default one.
std::unique_ptr<common::MappedFile> mapStub(const std::string& stubPath) {
    try {
        return mapInput(stubPath);
    } catch (const PackError& error) {
        std::string reason = error.what();
        const std::string open = "cannot open: ";
        if (reason.compare(0, open.size(), open) == 0)
            reason = "cannot open the stub: " + reason.substr(open.size());
        throw PackError(error.exitCode(), error.input(), reason);
    }
}

// Every input is read and checked before anything is written. Returns what
// was packed: "NAME VERSION CODE, languages LIST".
std::string packSetup(const PackCommand& command) {
    std::string stubPath = stubPathOf(command);
    checkOverwrites(command, stubPath);

    std::unique_ptr<common::MappedFile> package = mapInput(command.msiPath);
    PackageInfo info = packageInfo(package->bytes(), command.msiPath);
    std::vector<PackResource> resources = {{setup_format::packageResource, package->bytes()}};

    std::vector<LanguageTransform> transforms;
    transforms.reserve(command.transforms.size());
    for (const TransformInput& transform : command.transforms) {
        transforms.push_back(languageTransform(transform, package->bytes(), command.msiPath));
        char name[setup_format::transformNameCapacity];
        setup_format::transformResourceName(transform.lcid, name);
        resources.push_back({name, transforms.back().bytes()});
    }
    const SetupTexts texts = setupTexts(command, info);

    std::unique_ptr<common::MappedFile> stubFile = mapStub(stubPath);
    pe::Image stub = readProgram(stubFile->bytes(), stubPath);
    checkStub(stub, stubPath);

    // The setup writes the package and the transform side by side.
    for (const TransformInput& transform : command.transforms)
        if (sameFileName(texts.packageName, transformFileName(transform.lcid)))
            throw PackError(packBadInput, command.msiPath,
                            "the package's file name is the one the setup gives the transform "
                            "of language " +
                                std::to_string(transform.lcid) + "; rename it");
    const std::pair<const char*, const std::string*> named[] = {
        {setup_format::packageNameResource, &texts.packageName},
        {setup_format::productCodeResource, &texts.productCode},
        {setup_format::productNameResource, &texts.productName},
        {setup_format::versionResource, &texts.version},
        {setup_format::languagesResource, &texts.languages},
        {setup_format::logPathResource, command.logPath ? &*command.logPath : nullptr}};
    std::vector<common::Bytes> textBytes;
    textBytes.reserve(sizeof named / sizeof named[0]);
    for (const auto& text : named) {
        if (!text.second)
            continue;
        textBytes.push_back(wideTextResource(*text.second));
        resources.push_back({text.first, textBytes.back()});
    }

    std::vector<const common::MappedFile*> sources = {package.get()};
    for (const LanguageTransform& transform : transforms)
        if (transform.file)
            sources.push_back(transform.file.get());
    writeSetup(stub, stubPath, command.outPath, resources, sources);
    return texts.productName + " " + texts.version + " " + texts.productCode + ", languages " +
           texts.languages;
}

// The package is signed first and its signed copy packed: the output must
// not overwrite the inputs named on the command line either.
void packSignedSetup(const PackCommand& command) {
    checkOverwrites(command, stubPathOf(command));
    // Read here, not first from the signed copy: a broken package is named
    // by its own path.
    std::unique_ptr<common::MappedFile> package = mapInput(command.msiPath);
    PackageInfo info = packageInfo(package->bytes(), command.msiPath);
    package.reset();
    std::string description = command.productName ? *command.productName : info.productName;
    std::string packed;
    packSigned(command.signing, description, command.msiPath, command.outPath,
               [&](const std::string& signedMsi, const std::string& unsignedOut) {
                   PackCommand copy = command;
                   copy.msiPath = signedMsi;
                   copy.outPath = unsignedOut;
                   try {
                       packed = packSetup(copy);
                   } catch (const PackError& error) {
                       // Messages name the files the user gave.
                       std::string input = error.input();
                       for (const auto& path : {std::make_pair(signedMsi, command.msiPath),
                                                std::make_pair(unsignedOut, command.outPath)})
                           if (input.compare(0, path.first.size(), path.first) == 0)
                               input = path.second + input.substr(path.first.size());
                       throw PackError(error.exitCode(), input, error.what());
                   }
               });
    common::print(Output::Standard, "setup-pack: wrote " + command.outPath + ": " + packed +
                                        "\nsetup-pack: signed " + command.outPath +
                                        " and its package as \"" + description +
                                        "\"; both signatures verify\n");
}

} // namespace

std::string stubPathOf(const PackCommand& command) {
    return command.stubPath ? *command.stubPath
                            : defaultStubPath(stubFileName(command.arch.value_or(StubArch::x86)));
}

int runCommand(const PackCommand& command) {
    return packOutputs(command, [&command] {
        if (command.signing.requested())
            packSignedSetup(command);
        else
            common::print(Output::Standard, "setup-pack: wrote " + command.outPath + ": " +
                                                packSetup(command) + "\n");
    });
}
