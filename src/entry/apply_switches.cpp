#include "entry/apply_switches.h"

#include "base/setup_format.h"
#include "state/setup_state.h"
#include "ui/languages.h"

void applySwitches(const SetupSwitches& found) {
    const bool quiet = found.silent || found.progressOnly;
    // An /L wins over /S wherever it stands: a quiet run is English only
    // when no language is named.
    if (found.language && selectLanguage(found.language)) {
        setupState.languageFixed = true;
        setupState.languageNamed = true;
    } else if (quiet && selectLanguage(setup_format::baseLanguage)) {
        setupState.languageFixed = true;
    }
    if (quiet)
        setupState.silent = true;
    // /S shows nothing, also when /P is given too.
    if (found.progressOnly && !found.silent)
        setupState.progressOnly = true;
    if (found.wait)
        setupState.waitForInstaller = true;
}
