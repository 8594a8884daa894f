#include <gtest/gtest.h>

#include "package/command_line.h"
#include "unit_support.h"

namespace {
InstallerCommandInput englishFirstInstall() {
    InstallerCommandInput input{
        "C:\\Temp\\Example.msi", "", InstallCheck::Proceed, false, "", "D:\\Setup", "", false};
    return input;
}
} // namespace

TEST(InstallerCommandLine, FirstInstallInEnglish) {
    EXPECT_EQ(installerCommandLine(englishFirstInstall()),
              "msiexec.exe /i \"C:\\Temp\\Example.msi\" SETUPEXEDIR=\"D:\\Setup\"");
}

TEST(InstallerCommandLine, SilentFrenchUpgradeWithLog) {
    InstallerCommandInput input = englishFirstInstall();
    input.transformPath = "C:\\Temp\\1036.MST";
    input.silent = true;
    input.check = InstallCheck::Upgrade;
    input.logPath = "C:\\Temp\\Example.log";
    EXPECT_EQ(installerCommandLine(input),
              "msiexec.exe /qn /i \"C:\\Temp\\Example.msi\" TRANSFORMS=\"C:\\Temp\\1036.MST\" "
              "SETUPEXEDIR=\"D:\\Setup\" REBOOT=ReallySuppress REINSTALL=ALL REINSTALLMODE=vomus "
              "/l*vx "
              "\"C:\\Temp\\Example.log\"");
}

TEST(InstallerCommandLine, EachOptionalPieceStandsAlone) {
    InstallerCommandInput input = englishFirstInstall();
    input.silent = true;
    EXPECT_EQ(installerCommandLine(input),
              "msiexec.exe /qn /i \"C:\\Temp\\Example.msi\" SETUPEXEDIR=\"D:\\Setup\" "
              "REBOOT=ReallySuppress");

    input = englishFirstInstall();
    input.transformPath = "1036.MST";
    EXPECT_EQ(installerCommandLine(input), "msiexec.exe /i \"C:\\Temp\\Example.msi\" "
                                           "TRANSFORMS=\"1036.MST\" SETUPEXEDIR=\"D:\\Setup\"");

    input = englishFirstInstall();
    input.check = InstallCheck::Upgrade;
    EXPECT_EQ(installerCommandLine(input), "msiexec.exe /i \"C:\\Temp\\Example.msi\" "
                                           "SETUPEXEDIR=\"D:\\Setup\" REINSTALL=ALL "
                                           "REINSTALLMODE=vomus");

    input = englishFirstInstall();
    input.logPath = "setup.log";
    EXPECT_EQ(installerCommandLine(input), "msiexec.exe /i \"C:\\Temp\\Example.msi\" "
                                           "SETUPEXEDIR=\"D:\\Setup\" /l*vx \"setup.log\"");
}

TEST(InstallerCommandLine, PathsAreQuotedAsTheyAre) {
    InstallerCommandInput input{
        "My Product.msi", "", InstallCheck::Proceed, false, "", "C:\\", "", false};
    EXPECT_EQ(installerCommandLine(input),
              "msiexec.exe /i \"My Product.msi\" SETUPEXEDIR=\"C:\\\"");

    input.packagePath = "C:\\Documents and Settings\\Temp\\Example.msi";
    input.currentDirectory = "D:\\My Setup";
    input.logPath = "C:\\My Logs\\a b.log";
    EXPECT_EQ(installerCommandLine(input),
              "msiexec.exe /i \"C:\\Documents and Settings\\Temp\\Example.msi\" "
              "SETUPEXEDIR=\"D:\\My Setup\" /l*vx \"C:\\My Logs\\a b.log\"");
}

TEST(InstallerCommandLine, GivenPropertiesFollowSetupExeDirAndTheirRebootDecides) {
    InstallerCommandInput input = englishFirstInstall();
    input.silent = true;
    input.check = InstallCheck::Upgrade;
    input.properties = "INSTALLDIR=\"C:\\Program Files\\X\" MYPROP=\"a/L1036\"";
    EXPECT_EQ(installerCommandLine(input),
              "msiexec.exe /qn /i \"C:\\Temp\\Example.msi\" SETUPEXEDIR=\"D:\\Setup\" "
              "REBOOT=ReallySuppress INSTALLDIR=\"C:\\Program Files\\X\" MYPROP=\"a/L1036\" "
              "REINSTALL=ALL REINSTALLMODE=vomus");
    input.properties = "REBOOT=\"Force\"";
    input.rebootGiven = true;
    EXPECT_EQ(installerCommandLine(input), "msiexec.exe /qn /i \"C:\\Temp\\Example.msi\" "
                                           "SETUPEXEDIR=\"D:\\Setup\" REBOOT=\"Force\" "
                                           "REINSTALL=ALL REINSTALLMODE=vomus");
}
