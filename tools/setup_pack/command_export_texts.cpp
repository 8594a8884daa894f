// --export-texts: the package's texts for translators, as a PO file.
#include "common/file_io.h"
#include "setup_pack/run_commands.h"
#include "setup_pack/texts_files.h"

int runCommand(const ExportTextsCommand& command) {
    writeTextsFile(command.msiPath, command.localizedPath, command.outPath);
    common::print(common::Output::Standard,
                  "setup-pack: wrote " + command.outPath + ": the texts of " + command.msiPath +
                      (command.localizedPath
                           ? ", translated as " + *command.localizedPath + " has them"
                           : std::string()) +
                      "\n");
    return packSuccess;
}
