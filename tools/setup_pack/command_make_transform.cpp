// --make-transform: the one transform file, for deploying the package with it.
#include "common/file_io.h"
#include "setup_pack/language_transforms.h"
#include "setup_pack/run_commands.h"

int runCommand(const MakeTransformCommand& command) {
    writeTransformFile(command.msiPath, command.source, command.outPath);
    common::print(common::Output::Standard,
                  "setup-pack: wrote " + command.outPath + ": the transform from " +
                      command.msiPath +
                      (command.source.source == TransformInput::Translation
                           ? " to language " + std::to_string(command.source.lcid) + " by "
                           : " to ") +
                      command.source.path + "\n");
    return packSuccess;
}
