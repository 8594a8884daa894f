// setup-pack: turns a product's installer package and its language
// transforms into the product's setup.exe. The same code on every host; only
// common/file_io talks to the system.
#include <string>
#include <variant>
#include <vector>

#include "common/file_io.h"
#include "setup_pack/run_commands.h"

namespace {

using common::Output;

int runCommand(const HelpCommand&) {
    common::print(Output::Standard, packUsageText());
    return packSuccess;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return std::visit([](const auto& command) { return runCommand(command); },
                          parseCommand(common::commandLine(argc, argv)));
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
