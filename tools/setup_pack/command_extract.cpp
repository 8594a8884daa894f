// --extract: a setup's package and transforms, or a package's stored
// transforms, written into a folder.
#include "setup_pack/language_package.h"
#include "setup_pack/run_commands.h"
#include "setup_pack/setup_contents.h"

int runCommand(const ExtractCommand& command) {
    if (isCompoundFile(command.path))
        return extractPackage(command.path, command.folder);
    SetupFile setup = readSetupFile(command.path);
    for (const std::string& written : extractSetup(setup.contents, command.path, command.folder))
        common::print(common::Output::Standard, "setup-pack: wrote " + written + "\n");
    return packSuccess;
}
