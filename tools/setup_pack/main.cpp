// setup-pack: turns a product's installer package and its language
// transforms into the product's setup.exe.
#include <windows.h>

#include <iostream>

#include "setup_pack/language_transforms.h"
#include "setup_pack/options.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_file.h"

namespace {

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every input is read and checked before anything is written.
int pack(const PackOptions& options) {
    std::string stubPath = options.stubPath ? *options.stubPath : defaultStubPath();
    if (samePath(options.outPath, stubPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the stub");
    if (samePath(options.outPath, options.msiPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the package");
    for (const TransformInput& transform : options.transforms)
        if (samePath(options.outPath, transform.path))
            throw PackError(packBadInput, options.outPath,
                            "the output would overwrite a transform");

    std::vector<PackResource> resources;
    std::vector<unsigned char> package = readInputFile(options.msiPath);
    checkCompoundFile(package, options.msiPath, "an installer database");
    PackageInfo info = readPackageInfo(options.msiPath);
    resources.push_back({"PACKAGEFILE", std::move(package)});

    for (const TransformInput& transform : options.transforms)
        resources.push_back({"LANG" + std::to_string(transform.lcid),
                             languageTransform(transform, options.msiPath)});

    // The package's own values must satisfy the same rules as the options.
    std::string productCode = options.productCode ? *options.productCode : info.productCode;
    if (!options.productCode)
        checkProductCode(productCode, options.msiPath + " (ProductCode)");
    std::string version = options.version ? *options.version : info.productVersion;
    if (!options.version)
        checkVersion(version, options.msiPath + " (ProductVersion)");
    std::string productName = options.productName ? *options.productName : info.productName;
    std::string languages =
        options.languages ? *options.languages : defaultLanguageList(options.transforms);

    checkStub(stubPath);

    std::string packageName = fileName(options.msiPath);
    struct Named {
        const char* name;
        const std::string& text;
    } texts[] = {{"PACKAGENAME", packageName},
                 {"PRODUCTCODE", productCode},
                 {"PRODUCTNAME", productName},
                 {"VERSION", version},
                 {"LANGUAGES", languages}};
    for (const Named& text : texts)
        resources.push_back({text.name, wideTextResource(text.text)});
    if (options.logPath)
        resources.push_back({"LOGPATH", wideTextResource(*options.logPath)});

    writeSetup(stubPath, options.outPath, resources);
    std::cout << "setup-pack: wrote " << options.outPath << ": " << productName << " " << version
              << " " << productCode << ", languages " << languages << "\n";
    return packSuccess;
}

} // namespace

int main(int argc, char** argv) {
    try {
        PackOptions options = parsePackOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::cout << packUsageText();
            return packSuccess;
        }
        if (options.makeTransform) {
            writeTransformFile(options);
            std::cout << "setup-pack: wrote " << options.outPath << ": the transform from "
                      << options.msiPath << " to " << options.localizedPath << "\n";
            return packSuccess;
        }
        return pack(options);
    } catch (const PackError& error) {
        std::cerr << "setup-pack: " << error.input() << ": " << error.what() << "\n";
        return error.exitCode();
    } catch (const std::exception& error) {
        std::cerr << "setup-pack: " << error.what() << "\n";
        return packWriteFailed;
    }
}
