#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "unit_support.h"
#include "command_line/switches.h"
#include "entry/apply_switches.h"

namespace {
const int32_t german = 1031; // stands for the language taken from the UI language

struct SwitchCase {
    const char* commandLine;
    int32_t languageId;
    bool languageFixed;
    bool silent;
    bool waitForInstaller;
    bool progressOnly = false;
};

class Switches : public FreshSetupState {
  protected:
    void expectOutcomes(std::initializer_list<SwitchCase> cases) {
        for (const SwitchCase& c : cases) {
            SCOPED_TRACE(c.commandLine ? c.commandLine : "(null)");
            setupState = SetupState();
            ASSERT_TRUE(selectLanguage(german));
            applySwitches(readSwitches(c.commandLine));
            expectSelected(c.languageId);
            EXPECT_EQ(setupState.languageFixed, c.languageFixed);
            EXPECT_EQ(setupState.silent, c.silent);
            EXPECT_EQ(setupState.waitForInstaller, c.waitForInstaller);
            EXPECT_EQ(setupState.progressOnly, c.progressOnly);
        }
    }
};

} // namespace

TEST_F(Switches, LaterSwitchesWinExceptThatSilentKeepsAFixedLanguage) {
    expectOutcomes({
        {"/S /L1036", 1036, true, true, false},
        {"/L1036 /S", 1036, true, true, false},
        {"/L9999 /S", 1033, true, true, false},
        {"/L1036 /L1034", 1034, true, false, false},
        {"/L1036 /L9999", 1036, true, false, false},
        {"/S /S /W /W", 1033, true, true, true},
    });
}

TEST_F(Switches, LanguageValueIsReadAsADecimalNumber) {
    expectOutcomes({
        {"/L1036", 1036, true, false, false},
        {"/L 1036", 1036, true, false, false},
        {"/L+1036", 1036, true, false, false},
        {"/L1036abc", 1036, true, false, false},
        {"/L1046\t", 1046, true, false, false},
        {"/L1043", 1043, true, false, false},
        {"/L-1036", german, false, false, false},
        {"/L\"1036\"", german, false, false, false},
        {"/L10/36", german, false, false, false},
        {"/L", german, false, false, false},
        {"/Lxyz", german, false, false, false},
        {"/L9999", german, false, false, false},
        {"/L2057", german, false, false, false},
    });
}

TEST_F(Switches, LanguageValuesBeyond32BitsSaturateInsteadOfWrapping) {
    // Each of these wraps to 1036 when cut to 32 or 64 bits.
    expectOutcomes({
        {"/L4294968332", german, false, false, false},
        {"/L-4294966260", german, false, false, false},
        {"/L18446744073709552652", german, false, false, false},
        {"/L99999999999", german, false, false, false},
        {"/L-99999999999", german, false, false, false},
    });
}

TEST_F(Switches, OnlyTheLetterAfterTheSlashCountsInEitherCase) {
    expectOutcomes({
        {"/l1036", 1036, true, false, false},
        {"/s", 1033, true, true, false},
        {"/w", german, false, false, true},
        {"/Silent", 1033, true, true, false},
        {"/Wait", german, false, false, true},
        {"/Language1036", german, false, false, false},
        {"/S/W", 1033, true, true, true},
    });
}

TEST_F(Switches, TextThatIsNoSwitchChangesNothing) {
    expectOutcomes({
        {nullptr, german, false, false, false},
        {"", german, false, false, false},
        {"-S", german, false, false, false},
        {"S W", german, false, false, false},
        {"/ S", german, false, false, false},
        {"/\tS", german, false, false, false},
        {"/", german, false, false, false},
        {"/X /? /1036", german, false, false, false},
    });
}

TEST_F(Switches, ProgressOnlyIsQuietUnlessSilentIsGivenTooAndOnlyAnLNamesTheLanguage) {
    expectOutcomes({
        {"/P", 1033, true, true, false, true},
        {"/passive /W /l1036", 1036, true, true, true, true},
        {"/P /S", 1033, true, true, false, false},
        {"/S /P", 1033, true, true, false, false},
    });
    // A named language wins over the installed product's; /S and /P name none.
    const std::pair<const char*, bool> named[] = {
        {"/S /L1031", true}, {"/P", false}, {"/L9999 /S", false}};
    for (const auto& c : named) {
        setupState = SetupState();
        applySwitches(readSwitches(c.first));
        EXPECT_EQ(setupState.languageNamed, c.second) << c.first;
    }
}

// /log and /extract take the rest of their token alike; a '/' inside it is
// part of the path, never a switch: only one after a blank or outside
// quotes starts the next token.
TEST(ReadSwitches, LogAndExtractTakeTheRestOfTheirTokenAndHelpIsAQuestionMarkOrAWord) {
    struct {
        const char* commandLine;
        const char* logSwitch; // empty: no /log
        const char* logPath;
        const char* extractSwitch; // empty: no /extract
        const char* folder;
        int32_t language;
        bool help;
        char quiet; // 'S', 'P' or none
    } const cases[] = {
        {"/LOG=\"C:\\My Logs\\x.log\" /L1036", "/LOG=\"C:\\My Logs\\x.log\"", "C:\\My Logs\\x.log",
         "", "", 1036, false, 0},
        {"/L1031 /Log:x.log /?", "/Log:x.log", "x.log", "", "", 1031, true, 0},
        {"/log   x.log   /HELP", "/log   x.log", "x.log", "", "", 0, true, 0},
        {"/log \"x.log", "/log \"x.log", "x.log", "", "", 0, false, 0},
        // The last one counts; an empty one is given, to be refused.
        {"/log a.log /log= /help", "/log=", "", "", "", 0, true, 0},
        {"/log", "/log", "", "", "", 0, false, 0},
        {"/extract", "", "", "/extract", "", 0, false, 0},
        {"/extractor x /extract= /P", "", "", "/extract=", "", 0, false, 'P'},
        {"/log C:/x.log", "/log C:/x.log", "C:/x.log", "", "", 0, false, 0},
        {"/log=logs/p.log /L1036", "/log=logs/p.log", "logs/p.log", "", "", 1036, false, 0},
        {"/log \"C:/logs /s.log\" /?", "/log \"C:/logs /s.log\"", "C:/logs /s.log", "", "", 0, true,
         0},
        {"/EXTRACT=D:/out/x /L1036", "", "", "/EXTRACT=D:/out/x", "D:/out/x", 1036, false, 0},
        {"/log=a/b.log /Extract:out /s", "/log=a/b.log", "a/b.log", "/Extract:out", "out", 0, false,
         'S'},
        {"/S /extract \"C:\\Admin Share\\x\" /log l.log", "/log l.log", "l.log",
         "/extract \"C:\\Admin Share\\x\"", "C:\\Admin Share\\x", 0, false, 'S'},
        {"/logfile x.log /helper /h", "", "", "", "", 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        SetupSwitches found = readSwitches(c.commandLine);
        EXPECT_EQ(found.logGiven, *c.logSwitch != '\0');
        EXPECT_EQ(found.logSwitch, c.logSwitch);
        EXPECT_EQ(found.logPath, c.logPath);
        EXPECT_EQ(found.extractGiven, *c.extractSwitch != '\0');
        EXPECT_EQ(found.extractSwitch, c.extractSwitch);
        EXPECT_EQ(found.extractFolder, c.folder);
        EXPECT_EQ(found.language, c.language);
        EXPECT_EQ(found.help, c.help);
        // No piece of a path is read as /S or /P.
        EXPECT_EQ(found.silent, c.quiet == 'S');
        EXPECT_EQ(found.progressOnly, c.quiet == 'P');
    }
}
