#pragma once
#include <cstdint>

#include "product/version.h"

// How a run of the setup ends; each has its exit code.
enum class SetupEnd {
    installerEnded,        // the setup waited: the installer's own code
    installerStarted,      // started without waiting
    cancelled,             // Cancel, Esc or the close box
    upgradeDeclined,       // the upgrade question answered with Cancel
    laterVersionInstalled, // refused: a later version is installed
    extractionFailed,      // the package or transform could not be written out
    launchFailed,          // msiexec.exe could not be started
    undecided,             // a hidden dialog could not decide (no product code, failed query)
    languageError,         // the package offers no known language
    commandLineRefused,    // a property on the command line is not accepted
    filesExtracted,        // /extract wrote the package into its folder
};

// The exit code of the setup for an end; `installerExitCode` counts only
// for installerEnded.
int32_t setupExitCode(SetupEnd end, uint32_t installerExitCode);

// What the OK command knows before it acts.
struct ConfirmFacts {
    int32_t selectedLanguage; // setupState.languageId after selecting the chosen one
    bool packageEmbedded;     // the setup carries PACKAGEFILE
    bool packageNamed;        // PACKAGENAME is not empty
    bool productCodeKnown;    // PRODUCTCODE is not empty
    InstallCheck check;       // the installed-product check; QueryFailed without a product code
    bool waitSwitch;          // /W
};

enum class ConfirmQuestion { none, upgradeQuestion, laterVersionRefusal };

// What the OK command does, in this order: write the files (or name them
// beside the setup), stop undecided, ask or refuse, start the installer,
// wait for it or end.
struct ConfirmPlan {
    bool writeFiles = false;       // write the package and the transform to the temporary folder
    int32_t transformLanguage = 0; // the selected language unless 1033; 0: no transform
    bool besideSetup = false;      // not embedded: both files are in the current directory
    bool undecided = false;        // stop: a shown dialog stays, a hidden one ends undecided
    ConfirmQuestion question = ConfirmQuestion::none;
    bool wait = false; // wait for the installer and take its exit code
};

ConfirmPlan planConfirm(const ConfirmFacts& facts);

// Carries out the plan through `acts`, which the dialog does with Windows:
//   bool writeFiles()            false: not written, the user was told
//   void nameFilesBesideSetup()  both paths in the current directory
//   void refuseLaterVersion()
//   bool upgradeAccepted()
//   bool startInstaller()
// Gives how the command ends; undecided leaves a shown dialog for another
// try, installerEnded means the installer was started to be waited for.
template <class Acts> SetupEnd carryOutConfirm(const ConfirmPlan& plan, Acts& acts) {
    if (plan.writeFiles && !acts.writeFiles())
        return SetupEnd::extractionFailed;
    if (plan.besideSetup)
        acts.nameFilesBesideSetup();
    if (plan.undecided)
        return SetupEnd::undecided;
    if (plan.question == ConfirmQuestion::laterVersionRefusal) {
        acts.refuseLaterVersion();
        return SetupEnd::laterVersionInstalled;
    }
    if (plan.question == ConfirmQuestion::upgradeQuestion && !acts.upgradeAccepted())
        return SetupEnd::upgradeDeclined;
    if (!acts.startInstaller())
        return SetupEnd::launchFailed;
    return plan.wait ? SetupEnd::installerEnded : SetupEnd::installerStarted;
}
