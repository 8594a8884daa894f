#include <gtest/gtest.h>

#include <string>

#include "ui/confirm_plan.h"

namespace {
// An embedded package, French chosen, nothing installed yet.
ConfirmFacts embeddedFrenchFirstInstall() {
    ConfirmFacts facts;
    facts.selectedLanguage = 1036;
    facts.packageEmbedded = true;
    facts.packageNamed = true;
    facts.productCodeKnown = true;
    facts.check = InstallCheck::Proceed;
    facts.waitSwitch = false;
    return facts;
}

// Stands in for the dialog's Windows calls: notes each act in its order and
// answers as told.
struct FakeActs {
    bool written = true;
    bool accepted = true;
    bool started = true;
    std::string done;

    bool writeFiles() {
        done += "write ";
        return written;
    }
    void nameFilesBesideSetup() { done += "beside "; }
    void refuseLaterVersion() { done += "refuse "; }
    bool upgradeAccepted() {
        done += "ask ";
        return accepted;
    }
    bool startInstaller() {
        done += "start ";
        return started;
    }
};

// The OK command as the dialog runs it, with the acts faked.
SetupEnd confirm(const ConfirmFacts& facts, FakeActs& acts) {
    return carryOutConfirm(planConfirm(facts), acts);
}
} // namespace

TEST(ConfirmPlan, EmbeddedPackageIsWrittenWithItsTransformAndWaitedFor) {
    ConfirmPlan plan = planConfirm(embeddedFrenchFirstInstall());
    EXPECT_EQ(plan.transformLanguage, 1036);
    FakeActs acts;
    EXPECT_EQ(carryOutConfirm(plan, acts), SetupEnd::installerEnded);
    EXPECT_EQ(acts.done, "write start ");
    // The installer's own code, whole, whatever it is.
    for (uint32_t code : {0u, 3010u, 1602u, 1603u, 0xC000013Au})
        EXPECT_EQ(static_cast<uint32_t>(setupExitCode(SetupEnd::installerEnded, code)), code);
}

TEST(ConfirmPlan, EnglishNeedsNoTransform) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.selectedLanguage = 1033;
    EXPECT_EQ(planConfirm(facts).transformLanguage, 0);
}

TEST(ConfirmPlan, PackageBesideTheSetupWaitsOnlyWhenAskedTo) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.packageEmbedded = false;
    FakeActs acts;
    EXPECT_EQ(confirm(facts, acts), SetupEnd::installerStarted);
    EXPECT_EQ(acts.done, "beside start ");
    EXPECT_EQ(setupExitCode(SetupEnd::installerStarted, 1603), 0);

    facts.waitSwitch = true;
    FakeActs waited;
    EXPECT_EQ(confirm(facts, waited), SetupEnd::installerEnded);

    // English runs the package by its bare name, in the current directory.
    facts.selectedLanguage = 1033;
    FakeActs english;
    confirm(facts, english);
    EXPECT_EQ(english.done, "start ");
    EXPECT_EQ(planConfirm(facts).transformLanguage, 0);
}

TEST(ConfirmPlan, UpgradeIsAskedBeforeTheInstallerStartsAndADeclineStartsNothing) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.check = InstallCheck::Upgrade;
    FakeActs accepted;
    EXPECT_EQ(confirm(facts, accepted), SetupEnd::installerEnded);
    EXPECT_EQ(accepted.done, "write ask start ");
    FakeActs declined;
    declined.accepted = false;
    EXPECT_EQ(confirm(facts, declined), SetupEnd::upgradeDeclined);
    EXPECT_EQ(declined.done, "write ask ");
    EXPECT_EQ(setupExitCode(SetupEnd::upgradeDeclined, 0), 1602);
}

TEST(ConfirmPlan, LaterVersionIsRefusedWithoutStartingTheInstaller) {
    ConfirmFacts facts = embeddedFrenchFirstInstall();
    facts.check = InstallCheck::LaterInstalled;
    FakeActs acts;
    EXPECT_EQ(confirm(facts, acts), SetupEnd::laterVersionInstalled);
    EXPECT_EQ(acts.done, "write refuse ");
    EXPECT_EQ(setupExitCode(SetupEnd::laterVersionInstalled, 0), 1638);
}

TEST(ConfirmPlan, WithoutProductCodeOrAnswerTheSetupCannotDecide) {
    ConfirmFacts noCode = embeddedFrenchFirstInstall();
    noCode.productCodeKnown = false;
    noCode.check = InstallCheck::QueryFailed;
    ConfirmFacts failedQuery = embeddedFrenchFirstInstall();
    failedQuery.check = InstallCheck::QueryFailed;
    for (const ConfirmFacts& facts : {noCode, failedQuery}) {
        FakeActs acts;
        EXPECT_EQ(confirm(facts, acts), SetupEnd::undecided);
        EXPECT_EQ(acts.done, "write ");
    }
    ConfirmFacts unnamed = embeddedFrenchFirstInstall();
    unnamed.packageEmbedded = false;
    unnamed.packageNamed = false;
    unnamed.selectedLanguage = 1033;
    FakeActs acts;
    EXPECT_EQ(confirm(unnamed, acts), SetupEnd::undecided);
    EXPECT_EQ(acts.done, "");
    EXPECT_EQ(setupExitCode(SetupEnd::undecided, 0), 1603);
}

TEST(ConfirmPlan, FailuresToWriteOrToStartAreInstallFailures) {
    FakeActs notWritten;
    notWritten.written = false;
    notWritten.accepted = false;
    ConfirmFacts upgrade = embeddedFrenchFirstInstall();
    upgrade.check = InstallCheck::Upgrade;
    EXPECT_EQ(confirm(upgrade, notWritten), SetupEnd::extractionFailed);
    EXPECT_EQ(notWritten.done, "write "); // nothing asked, nothing started
    FakeActs notStarted;
    notStarted.started = false;
    EXPECT_EQ(confirm(embeddedFrenchFirstInstall(), notStarted), SetupEnd::launchFailed);
    EXPECT_EQ(setupExitCode(SetupEnd::extractionFailed, 0), 1603);
    EXPECT_EQ(setupExitCode(SetupEnd::launchFailed, 0), 1603);
}

TEST(SetupExitCode, EndsOutsideTheOkCommand) {
    // Deployment tools read these as the Windows Installer's own codes.
    EXPECT_EQ(setupExitCode(SetupEnd::cancelled, 0), 1602);
    EXPECT_EQ(setupExitCode(SetupEnd::commandLineRefused, 0), 1639);
    EXPECT_EQ(setupExitCode(SetupEnd::languageError, 0), 1603);
    EXPECT_EQ(setupExitCode(SetupEnd::filesExtracted, 0), 0);
}
