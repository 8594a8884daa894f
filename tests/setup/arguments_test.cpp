#include <gtest/gtest.h>

#include "command_line/arguments.h"
#include "unit_support.h"

TEST(SplitArguments, PropertiesAreTakenOutAndQuotedForMsiexec) {
    struct {
        const char* commandLine;
        const char* switches; // the rest, as it was
        const char* properties;
    } const cases[] = {
        {"/S INSTALLDIR=C:\\X /W", "/S  /W", "INSTALLDIR=\"C:\\X\""},
        // Blanks inside quotes, wherever the quotes are.
        {"\"INSTALLDIR=C:\\Program Files\\X\" A=\"x y\"z\t/L1036", " \t/L1036",
         "INSTALLDIR=\"C:\\Program Files\\X\" A=\"x yz\""},
        // '/' and '=' in a value stay in it.
        {"/S MYPROP=a/L1036 URL=http://h/p?a=b", "/S  ",
         "MYPROP=\"a/L1036\" URL=\"http://h/p?a=b\""},
        {"A= B=\"\" _.9=", "  ", "A=\"\" B=\"\" _.9=\"\""},
        // A quote in a value reaches msiexec doubled; backslashes count only
        // before a quote.
        {"A=\"say \"\"hi\"\"\" B=x\\\"y C=\\\\\\\"", "  ",
         "A=\"say \"\"hi\"\"\" B=\"x\"\"y\" C=\"\\\"\"\""},
        {"P=C:\\a\\\\b Q=\"C:\\X\\\\\"", " ", "P=\"C:\\a\\\\b\" Q=\"C:\\X\\\""},
        // No properties.
        {"=x 1A=x -A=x /A=x A-B=x A/B=x A \"/L\"1036", "=x 1A=x -A=x /A=x A-B=x A/B=x A \"/L\"1036",
         ""},
        // The one argument after a bare /log is its path, whatever it holds.
        {"/log a=b.log A=1 /LOG \"x=y.log\"", "/log a=b.log  /LOG \"x=y.log\"", "A=\"1\""},
        {"/log=a=b.log A=1 /logs B=2", "/log=a=b.log  /logs ", "A=\"1\" B=\"2\""},
        {"/extract D:\\a=b A=1 /EXTRACT x=y", "/extract D:\\a=b  /EXTRACT x=y", "A=\"1\""},
        {nullptr, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine ? c.commandLine : "(null)");
        SetupArguments arguments = splitArguments(c.commandLine);
        EXPECT_EQ(arguments.switches, c.switches);
        EXPECT_EQ(arguments.properties, c.properties);
        EXPECT_EQ(arguments.refusal, ArgumentRefusal::none);
    }
}

TEST(SplitArguments, PropertiesTheSetupSetsAndOpenQuotesAreRefused) {
    struct {
        const char* commandLine;
        ArgumentRefusal refusal;
        const char* argument; // the first refused one, as typed
    } const cases[] = {
        {"/S TRANSFORMS=x.mst", ArgumentRefusal::setBySetup, "TRANSFORMS=x.mst"},
        {"A=1 Reinstall=ALL setupexedir=D:", ArgumentRefusal::setBySetup, "Reinstall=ALL"},
        {"\"REINSTALLMODE=vomus\"", ArgumentRefusal::setBySetup, "\"REINSTALLMODE=vomus\""},
        // An open quote runs to the end of the line; so does one that a
        // single backslash turns into a quote of the value.
        {"A=x\" /S", ArgumentRefusal::unmatchedQuote, "A=x\" /S"},
        {"P=\"C:\\X\\\" /S", ArgumentRefusal::unmatchedQuote, "P=\"C:\\X\\\" /S"},
        {"TRANSFORMSX=1 REINSTALL.A=1", ArgumentRefusal::none, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        SetupArguments arguments = splitArguments(c.commandLine);
        EXPECT_EQ(arguments.refusal, c.refusal);
        EXPECT_EQ(arguments.refusedArgument, c.argument);
    }
}

TEST(SplitArguments, OnlyAnUpperCaseRebootDecidesAboutTheRestart) {
    EXPECT_TRUE(splitArguments("/S \"REBOOT=\"").rebootGiven);
    EXPECT_FALSE(splitArguments("/S reboot=Force REBOOTX=1 /REBOOT=1").rebootGiven);
}
