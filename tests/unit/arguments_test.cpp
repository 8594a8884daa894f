#include <gtest/gtest.h>

#include <initializer_list>

#include "startup/arguments.h"
#include "startup/switches.h"
#include "unit_support.h"

namespace {
struct SplitCase {
    const char* commandLine;
    const char* switches;
    const char* properties;
};

void expectSplits(std::initializer_list<SplitCase> cases) {
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.commandLine);
        SetupArguments arguments = splitArguments(c.commandLine);
        EXPECT_EQ(arguments.switches, c.switches);
        EXPECT_EQ(arguments.properties, c.properties);
        EXPECT_EQ(arguments.refusal, ArgumentRefusal::none);
    }
}

void expectRefused(const char* commandLine, ArgumentRefusal refusal, const char* argument) {
    SCOPED_TRACE(commandLine);
    SetupArguments arguments = splitArguments(commandLine);
    EXPECT_EQ(arguments.refusal, refusal);
    EXPECT_EQ(arguments.refusedArgument, argument);
}
} // namespace

TEST(SplitArguments, PropertiesLeaveTheRestOfTheLineAsItWas) {
    expectSplits({
        {"/S INSTALLDIR=C:\\X /W", "/S  /W", "INSTALLDIR=\"C:\\X\""},
        {"A=1 /L1036\t_B.2=x", " /L1036\t", "A=\"1\" _B.2=\"x\""},
        {"  /S  ", "  /S  ", ""},
        {"/L\"1036\" /Silent", "/L\"1036\" /Silent", ""},
        {nullptr, "", ""},
        {"", "", ""},
    });
}

TEST(SplitArguments, OnlyNameEqualsValueIsAProperty) {
    expectSplits({
        {"=x 1A=x -A=x /A=x A-B=x A", "=x 1A=x -A=x /A=x A-B=x A", ""},
        {"/L1036=x A/B=x", "/L1036=x A/B=x", ""},
        {"a=1 Z9=2 _=3", "  ", "a=\"1\" Z9=\"2\" _=\"3\""},
    });
}

TEST(SplitArguments, ValuesAreReadAsTheWindowsCommandLineQuotesThem) {
    expectSplits({
        // Blanks inside quotes, wherever the quotes are.
        {"INSTALLDIR=\"C:\\Program Files\\X\"", "", "INSTALLDIR=\"C:\\Program Files\\X\""},
        {"\"INSTALLDIR=C:\\Program Files\\X\"", "", "INSTALLDIR=\"C:\\Program Files\\X\""},
        {"A=\"x y\"z\t/S", "\t/S", "A=\"x yz\""},
        // '=' and '/' in a value stay in it and are never switches.
        {"URL=http://h/p?a=b /S", " /S", "URL=\"http://h/p?a=b\""},
        {"/S MYPROP=a/L1036", "/S ", "MYPROP=\"a/L1036\""},
        // Empty values.
        {"A= B=\"\"", " ", "A=\"\" B=\"\""},
        // A quote in a value reaches msiexec doubled.
        {"A=\"say \"\"hi\"\"\"", "", "A=\"say \"\"hi\"\"\""},
        {"A=say\\\"hi", "", "A=\"say\"\"hi\""},
        // Backslashes count only before a quote.
        {"P=C:\\a\\\\b", "", "P=\"C:\\a\\\\b\""},
        {"P=\"C:\\X\\\\\"", "", "P=\"C:\\X\\\""},
        {"P=\\\\\\\"x", "", "P=\"\\\"\"x\""},
    });
}

TEST(SplitArguments, PropertiesTheSetupSetsOrOpenQuotesAreRefused) {
    expectRefused("/S TRANSFORMS=x.mst", ArgumentRefusal::setBySetup, "TRANSFORMS=x.mst");
    expectRefused("setupexedir=D:\\", ArgumentRefusal::setBySetup, "setupexedir=D:\\");
    expectRefused("A=1 Reinstall=ALL REINSTALLMODE=a", ArgumentRefusal::setBySetup,
                  "Reinstall=ALL");
    expectRefused("\"REINSTALLMODE=vomus\"", ArgumentRefusal::setBySetup,
                  "\"REINSTALLMODE=vomus\"");
    // An open quote runs to the end of the line, a trailing backslash
    // before the last quote keeps it open.
    expectRefused("INSTALLDIR=\"C:\\X /S", ArgumentRefusal::unmatchedQuote,
                  "INSTALLDIR=\"C:\\X /S");
    expectRefused("P=\"C:\\X\\\" /S", ArgumentRefusal::unmatchedQuote, "P=\"C:\\X\\\" /S");
    expectRefused("A=x\"", ArgumentRefusal::unmatchedQuote, "A=x\"");
    // Names that merely begin like one of them are the user's own.
    expectRefused("TRANSFORMSX=1 REINSTALL.A=1", ArgumentRefusal::none, "");

    SetupArguments arguments = splitArguments("/S TRANSFORMS=x.mst");
    EXPECT_EQ(refusalMessage(arguments),
              "This command line argument is not accepted:\n\nTRANSFORMS=x.mst\n\n"
              "The setup sets this property itself.");
    arguments = splitArguments("A=\"b");
    EXPECT_EQ(refusalMessage(arguments), "This command line argument is not accepted:\n\nA=\"b\n\n"
                                         "Its value has a quote that is not closed.");
}

TEST(SplitArguments, OnlyAnUpperCaseRebootDecidesAboutTheRestart) {
    EXPECT_TRUE(splitArguments("/S REBOOT=Force").rebootGiven);
    EXPECT_TRUE(splitArguments("\"REBOOT=\"").rebootGiven);
    EXPECT_FALSE(splitArguments("/S reboot=Force REBOOTX=1 /REBOOT=1").rebootGiven);
}

class ArgumentsAndSwitches : public FreshSetupState {};

TEST_F(ArgumentsAndSwitches, SwitchesAreReadWithoutThePropertyArguments) {
    parseCommandLine(splitArguments("/S MYPROP=a/L1036 D=D:/W").switches.c_str());
    expectSelected(1033);
    EXPECT_TRUE(setupState.silent);
    EXPECT_FALSE(setupState.waitForInstaller);

    setupState = SetupState();
    parseCommandLine(splitArguments("/L1036 X=1 /W").switches.c_str());
    expectSelected(1036);
    EXPECT_TRUE(setupState.waitForInstaller);
}
