#include "setup_pack/outputs.h"

#include <memory>
#include <optional>

#include "common/file_io.h"
#include "setup_pack/language_package.h"
#include "setup_pack/winget.h"

int packOutputs(const PackCommand& options, const std::function<void()>& packSetup) {
    // The package is written under a temporary name first; it replaces
    // --out-msi only once the setup is written too.
    std::unique_ptr<common::OutputFile> package;
    std::string packageSummary;
    if (options.outMsiPath) {
        LanguagePackage made = makeLanguagePackage(options);
        packageSummary = made.summary;
        writingTo(*options.outMsiPath, [&] {
            package = std::make_unique<common::OutputFile>(*options.outMsiPath);
            package->write(made.bytes);
        });
    }
    std::optional<WingetManifest> manifest;
    if (options.wingetFolder)
        manifest = planWingetManifest(options);
    if (!options.outPath.empty())
        packSetup();
    if (manifest)
        writeWingetManifest(*manifest, options);
    if (package) {
        writingTo(*options.outMsiPath, [&] { package->commit(); });
        common::print(common::Output::Standard,
                      "setup-pack: wrote " + *options.outMsiPath + ": " + packageSummary + "\n");
    }
    return packSuccess;
}
