#pragma once
// Running another program to its end: setup-pack calls the signing tool
// (osslsigncode) and openssl this way. The program is looked up on PATH;
// the arguments (UTF-8) reach it unchanged, each as one argument, whatever
// blanks, quotes or backslashes they hold. Its standard input is the null
// device; its standard output and error are captured together, in the
// order it wrote them, so a failure can be reported in its own words.
// Nothing goes through a shell.
#include <optional>
#include <string>
#include <vector>

namespace common {

struct ProcessResult {
    // False when the program could not be started (not found, not
    // executable); `output` then says why and `exitCode` is -1.
    bool started = false;
    // Its exit status; on POSIX 128 + N when signal N ended it.
    int exitCode = -1;
    std::string output;
};

// Runs `program` with `arguments` (not including the program's own name)
// and waits for it. Throws std::runtime_error only when the pipe or the
// wait itself fails.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments);

// The value of an environment variable as UTF-8 (on Windows read as
// UTF-16, never through the code page); none when it is not set.
std::optional<std::string> environmentVariable(const std::string& name);

// The Windows command line that CommandLineToArgvW and the C run-time of
// the child split back into exactly `arguments` (`program` first). Pure
// text work, built on every system so that it can be tested anywhere.
std::string windowsCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments);

} // namespace common
