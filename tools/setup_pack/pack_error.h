#pragma once
// How setup-pack fails: an exit code and the input it is about, so that
// every module can refuse an input without knowing the command line.
#include <stdexcept>
#include <string>
#include <utility>

#include "common/file_io.h"

// Exit codes: small, so that a Unix shell running the tool under Wine sees
// them unchanged (it keeps only the low 8 bits).
enum PackExit : int {
    packSuccess = 0,
    packUsage = 1,    // unknown option, missing value, missing --msi or --out
    packBadInput = 2, // a file or value that cannot go into a setup
    packWriteFailed = 3,
};

// A failure that names the input it is about and why: an option
// ("--version"), or the path of the package, a transform, a localized
// package, the stub or the output. main prints it as
// "setup-pack: <input>: <reason>".
class PackError : public std::runtime_error {
  public:
    PackError(int exitCode, std::string input, const std::string& reason)
        : std::runtime_error(reason), exitCode_(exitCode), input_(std::move(input)) {}
    int exitCode() const { return exitCode_; }
    const std::string& input() const { return input_; }

  private:
    int exitCode_;
    std::string input_;
};

// A malformed command line: the option at fault and why, pointing to --help.
inline PackError usageError(const std::string& input, const std::string& reason) {
    return PackError(packUsage, input, reason + " (see --help)");
}

// Runs `write`, which writes an output or makes its folder, and throws
// what the system refuses as PackError (packWriteFailed) naming `path`:
// what was written, or the input it was written for.
template <class Write> void writingTo(const std::string& path, const Write& write) {
    try {
        write();
    } catch (const common::SystemError& error) {
        throw PackError(packWriteFailed, path, error.what());
    }
}
