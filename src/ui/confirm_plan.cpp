#include "ui/confirm_plan.h"

#include "base/setup_format.h"

namespace {
// The Windows Installer's own codes, which deployment tools know.
const int32_t userExit = 1602;           // ERROR_INSTALL_USEREXIT
const int32_t installFailure = 1603;     // ERROR_INSTALL_FAILURE
const int32_t otherVersion = 1638;       // ERROR_PRODUCT_VERSION
const int32_t invalidCommandLine = 1639; // ERROR_INVALID_COMMAND_LINE
} // namespace

int32_t setupExitCode(SetupEnd end, uint32_t installerExitCode) {
    switch (end) {
    case SetupEnd::installerEnded:
        return static_cast<int32_t>(installerExitCode);
    case SetupEnd::installerStarted:
    case SetupEnd::filesExtracted:
        return 0;
    case SetupEnd::cancelled:
    case SetupEnd::upgradeDeclined:
        return userExit;
    case SetupEnd::laterVersionInstalled:
        return otherVersion;
    case SetupEnd::commandLineRefused:
        return invalidCommandLine;
    case SetupEnd::extractionFailed:
    case SetupEnd::launchFailed:
    case SetupEnd::undecided:
    case SetupEnd::languageError:
        return installFailure;
    }
    return installFailure;
}

ConfirmPlan planConfirm(const ConfirmFacts& facts) {
    ConfirmPlan plan;
    // The transform follows the language that is selected, also when the
    // list had nothing chosen: the package's own language needs none.
    plan.transformLanguage =
        facts.selectedLanguage == setup_format::baseLanguage ? 0 : facts.selectedLanguage;
    plan.writeFiles = facts.packageEmbedded;
    // A package beside the setup is named by its full path only when a
    // transform goes with it; English runs it by its bare name.
    plan.besideSetup = !facts.packageEmbedded && plan.transformLanguage != 0;
    plan.wait = facts.packageEmbedded || facts.waitSwitch;

    bool havePackage = facts.packageEmbedded || facts.packageNamed || plan.besideSetup;
    if (!havePackage || !facts.productCodeKnown || facts.check == InstallCheck::QueryFailed) {
        plan.undecided = true;
        return plan;
    }
    if (facts.check == InstallCheck::LaterInstalled) {
        plan.question = ConfirmQuestion::laterVersionRefusal;
        return plan;
    }
    if (facts.check == InstallCheck::Upgrade)
        plan.question = ConfirmQuestion::upgradeQuestion;
    return plan;
}
