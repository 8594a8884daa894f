#include "common/process.h"

namespace common {

namespace {

// Quoted as the Microsoft C run-time splits a command line: backslashes
// are literal unless a quote follows them, so a run of them is doubled
// before a quote (the one in the text, or the closing one).
void appendQuoted(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

} // namespace

std::string windowsCommandLine(const std::string& program,
                               const std::vector<std::string>& arguments) {
    // The program's name is split by other rules (no escapes: up to the
    // next quote or blank), and a file name holds no quote.
    std::string line = program.find_first_of(" \t") == std::string::npos && !program.empty()
                           ? program
                           : '"' + program + '"';
    for (const std::string& argument : arguments) {
        line += ' ';
        appendQuoted(line, argument);
    }
    return line;
}

} // namespace common
