// The command line: any text, taken apart into properties and switches and
// applied to a fresh setup state.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "command_line/arguments.h"
#include "command_line/switches.h"
#include "entry/apply_switches.h"
#include "state/setup_state.h"
#include "ui/languages.h"

namespace {
// msiexec must read the pieces back as NAME="value", one blank between them:
// a value can never close its quotes early and bring a switch of its own.
bool wellQuoted(const char* p) {
    while (*p) {
        while (*p && *p != '=')
            ++p;
        if (*p++ != '=' || *p++ != '"')
            return false;
        for (;;) {
            if (!*p)
                return false; // the quotes never close
            if (*p++ != '"')
                continue;
            if (*p != '"')
                break; // the closing quote
            ++p;       // a doubled quote
        }
        if (*p == ' ' && p[1])
            ++p;
        else if (*p)
            return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string commandLine(reinterpret_cast<const char*>(data), size);
    const char* line = commandLine.c_str(); // ends at the first NUL, as a command line does
    size_t length = std::strlen(line);

    SetupArguments arguments = splitArguments(line);
    FUZZ_CHECK(arguments.switches.size() <= length);
    FUZZ_CHECK(std::strchr(line, '=') || arguments.switches == line);
    FUZZ_CHECK(wellQuoted(arguments.properties.c_str()));
    FUZZ_CHECK(!arguments.rebootGiven || std::strstr(arguments.properties.c_str(), "REBOOT=\""));
    FUZZ_CHECK((arguments.refusal == ArgumentRefusal::none) == arguments.refusedArgument.empty());
    FUZZ_CHECK(arguments.refusedArgument.empty() ||
               std::strstr(line, arguments.refusedArgument.c_str()));
    // What is left for the switches holds no property any more.
    SetupArguments again = splitArguments(arguments.switches.c_str());
    FUZZ_CHECK(again.switches == arguments.switches && again.properties.empty() &&
               again.refusal == ArgumentRefusal::none);

    // A /log path is a piece of its token, which is a piece of the switch text.
    SetupSwitches found = readSwitches(arguments.switches.c_str());
    FUZZ_CHECK(found.logGiven == !found.logSwitch.empty());
    FUZZ_CHECK(std::strstr(found.logSwitch.c_str(), found.logPath.c_str()));
    FUZZ_CHECK(std::strstr(arguments.switches.c_str(), found.logSwitch.c_str()));

    setupState = SetupState();
    applySwitches(found);
    const SetupState& state = setupState;
    FUZZ_CHECK(state.languageIndex >= 0 && state.languageIndex < languageCount);
    FUZZ_CHECK(LanguageTable[state.languageIndex].lcid == state.languageId);
    FUZZ_CHECK(!state.silent || state.languageFixed);
    FUZZ_CHECK(!state.progressOnly || state.silent);
    FUZZ_CHECK(!state.languageNamed || state.languageFixed);
    FUZZ_CHECK(state.languageFixed || state.languageId == 1033);
    return 0;
}
