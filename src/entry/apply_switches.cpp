#include "entry/apply_switches.h"

#include "base/setup_format.h"
#include "command_line/switches.h"
#include "state/setup_state.h"
#include "ui/languages.h"

void parseCommandLine(const char* commandLine) {
    const SetupSwitches found = readSwitches(commandLine);
    // An /L wins over /S wherever it stands: a quiet run is English only
    // when no language is named.
    int32_t language = found.language ? found.language
                       : found.silent ? setup_format::baseLanguage
                                      : 0;
    if (language && selectLanguage(language))
        setupState.languageFixed = true;
    if (found.silent)
        setupState.silent = true;
    if (found.wait)
        setupState.waitForInstaller = true;
}
