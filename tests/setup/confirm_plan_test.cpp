#include <gtest/gtest.h>

#include "ui/confirm_plan.h"

namespace {
// An embedded package, French chosen, nothing installed yet.
ConfirmFacts embeddedFrenchFirstInstall() {
    ConfirmFacts facts;
    facts.chosenLanguage = 1036;
    facts.selectedLanguage = 1036;
    facts.packageEmbedded = true;
    facts.packageNamed = true;
    facts.productCodeKnown = true;
    facts.check = InstallCheck::Proceed;
    facts.waitSwitch = false;
    return facts;
}

// The exit code of a run that follows the plan, with the user's answer to a
// question and the outcome of the acts.
struct Outcome {
    bool extracted = true;
    bool accepted = true;
    bool launched = true;
    uint32_t installerExit = 0;
};

int32_t exitCodeOf(const ConfirmPlan& plan, const Outcome& outcome) {
    if (plan.writeFiles && !outcome.extracted)
        return setupExitCode(SetupEnd::extractionFailed, 0);
    if (plan.undecided)
        return setupExitCode(SetupEnd::undecided, 0);
    if (plan.question == ConfirmQuestion::laterVersionRefusal)
        return setupExitCode(SetupEnd::laterVersionInstalled, 0);
    if (plan.question == ConfirmQuestion::upgradeQuestion && !outcome.accepted)
        return setupExitCode(SetupEnd::upgradeDeclined, 0);
    EXPECT_TRUE(plan.launch);
    if (!outcome.launched)
        return setupExitCode(SetupEnd::launchFailed, 0);
    return plan.wait ? setupExitCode(SetupEnd::installerEnded, outcome.installerExit)
                     : setupExitCode(plan.endWithoutWait, 0);
}
} // namespace

TEST(ConfirmPlan, EmbeddedPackageIsWrittenWithItsTransformAndWaitedFor) {
    ConfirmPlan plan = planConfirm(embeddedFrenchFirstInstall());
    EXPECT_TRUE(plan.writeFiles);
    EXPECT_EQ(plan.transformLanguage, 1036);
    EXPECT_FALSE(plan.besideSetup);
    EXPECT_FALSE(plan.undecided);
    EXPECT_EQ(plan.question, ConfirmQuestion::none);
    EXPECT_TRUE(plan.launch);
    EXPECT_TRUE(plan.wait);
    // The installer's own code, whole, whatever it is.
    for (uint32_t code : {0u, 3010u, 1602u, 1603u, 0xC000013Au}) {
        Outcome outcome;
        outcome.installerExit = code;
        EXPECT_EQ(static_cast<uint32_t>(exitCodeOf(plan, outcome)), code);
    }
}

TEST(ConfirmPlan, EnglishNeedsNoTransform) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.chosenLanguage = facts.selectedLanguage = 1033;
    EXPECT_EQ(planConfirm(facts).transformLanguage, 0);
}

TEST(ConfirmPlan, PackageBesideTheSetupWaitsOnlyWhenAskedTo) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.packageEmbedded = false;
    ConfirmPlan plan = planConfirm(facts);
    EXPECT_FALSE(plan.writeFiles);
    EXPECT_TRUE(plan.besideSetup);
    EXPECT_FALSE(plan.wait);
    EXPECT_EQ(exitCodeOf(plan, Outcome()), 0);

    facts.waitSwitch = true;
    Outcome failed;
    failed.installerExit = 1603;
    EXPECT_EQ(exitCodeOf(planConfirm(facts), failed), 1603);

    // English runs the package by its bare name, in the current directory.
    facts.chosenLanguage = facts.selectedLanguage = 1033;
    EXPECT_FALSE(planConfirm(facts).besideSetup);
}

TEST(ConfirmPlan, UpgradeIsAskedAndADeclineInstallsNothing) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.check = InstallCheck::Upgrade;
    ConfirmPlan plan = planConfirm(facts);
    EXPECT_EQ(plan.question, ConfirmQuestion::upgradeQuestion);
    EXPECT_TRUE(plan.launch);
    Outcome declined;
    declined.accepted = false;
    EXPECT_EQ(exitCodeOf(plan, declined), 1602);
    EXPECT_EQ(exitCodeOf(plan, Outcome()), 0);
}

TEST(ConfirmPlan, LaterVersionIsRefusedWithoutStartingTheInstaller) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.check = InstallCheck::LaterInstalled;
    ConfirmPlan plan = planConfirm(facts);
    EXPECT_EQ(plan.question, ConfirmQuestion::laterVersionRefusal);
    EXPECT_FALSE(plan.launch);
    EXPECT_EQ(exitCodeOf(plan, Outcome()), 1638);
}

TEST(ConfirmPlan, WithoutProductCodeOrAnswerTheSetupCannotDecide) {
    ConfirmFacts noCode = embeddedFrenchFirstInstall();
    noCode.productCodeKnown = false;
    noCode.check = InstallCheck::QueryFailed;
    ConfirmFacts failedQuery = embeddedFrenchFirstInstall();
    failedQuery.check = InstallCheck::QueryFailed;
    ConfirmFacts unnamed = embeddedFrenchFirstInstall();
    unnamed.packageEmbedded = false;
    unnamed.packageNamed = false;
    unnamed.chosenLanguage = unnamed.selectedLanguage = 1033;
    for (const ConfirmFacts& facts : {noCode, failedQuery, unnamed}) {
        ConfirmPlan plan = planConfirm(facts);
        EXPECT_TRUE(plan.undecided);
        EXPECT_FALSE(plan.launch);
        EXPECT_EQ(exitCodeOf(plan, Outcome()), 1603);
    }
}

TEST(ConfirmPlan, FailuresToWriteOrToStartAreInstallFailures) {
    ConfirmPlan plan = planConfirm(embeddedFrenchFirstInstall());
    Outcome notWritten;
    notWritten.extracted = false;
    EXPECT_EQ(exitCodeOf(plan, notWritten), 1603);
    Outcome notStarted;
    notStarted.launched = false;
    EXPECT_EQ(exitCodeOf(plan, notStarted), 1603);
}

TEST(SetupExitCode, EndsOutsideTheOkCommand) {
    // Deployment tools read these as the Windows Installer's own codes.
    EXPECT_EQ(setupExitCode(SetupEnd::cancelled, 0), 1602);
    EXPECT_EQ(setupExitCode(SetupEnd::commandLineRefused, 0), 1639);
    EXPECT_EQ(setupExitCode(SetupEnd::languageError, 0), 1603);
    // Only a waited-for installer passes its code on.
    EXPECT_EQ(setupExitCode(SetupEnd::installerStarted, 1603), 0);
}

// With nothing chosen in the list the selection stays where it was: the
// transform follows it, and English has none to look for.
TEST(ConfirmPlan, NothingChosenTheTransformFollowsTheSelectedLanguage) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.chosenLanguage = -1;
    for (bool embedded : {true, false}) {
        facts.packageEmbedded = embedded;
        facts.selectedLanguage = 1033;
        ConfirmPlan plan = planConfirm(facts);
        EXPECT_EQ(plan.transformLanguage, 0) << embedded;
        EXPECT_FALSE(plan.besideSetup) << embedded;
        EXPECT_TRUE(plan.launch) << embedded;

        facts.selectedLanguage = 1036;
        plan = planConfirm(facts);
        EXPECT_EQ(plan.transformLanguage, 1036) << embedded;
        EXPECT_EQ(plan.besideSetup, !embedded) << embedded;
    }
}
