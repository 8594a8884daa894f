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
            parseCommandLine(c.commandLine);
            expectSelected(c.languageId);
            EXPECT_EQ(setupState.languageFixed, c.languageFixed);
            EXPECT_EQ(setupState.silent, c.silent);
            EXPECT_EQ(setupState.waitForInstaller, c.waitForInstaller);
            EXPECT_EQ(setupState.progressOnly, c.progressOnly);
        }
    }
};

void expectTokens(const char* commandLine, std::initializer_list<const char*> expected) {
    SCOPED_TRACE(commandLine ? commandLine : "(null)");
    List<Text> tokens;
    splitSwitches(commandLine, tokens);
    ASSERT_EQ(tokens.size(), expected.size());
    size_t i = 0;
    for (const char* token : expected)
        EXPECT_STREQ(tokens[i++].c_str(), token);
}
} // namespace

TEST(SplitSwitches, CutsAtEverySlashAndDropsTrailingBlanksOnly) {
    expectTokens("setup.exe /S  /L1036 \t /W   ", {"/S", "/L1036 \t", "/W"});
    expectTokens("/S/W", {"/S", "/W"});
    expectTokens("/L10/36", {"/L10", "/36"});
    expectTokens("a / b //", {"/ b", "/", "/"});
    expectTokens("/L\t", {"/L\t"});
    expectTokens("/   ", {"/"});
}

TEST(SplitSwitches, TextWithoutSlashGivesNoToken) {
    expectTokens(nullptr, {});
    expectTokens("", {});
    expectTokens("-S S \\L1036", {});
}

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
        parseCommandLine(c.first);
        EXPECT_EQ(setupState.languageNamed, c.second) << c.first;
    }
}

TEST(ReadSwitches, LogTakesTheRestOfItsTokenAndHelpIsAQuestionMarkOrAWord) {
    struct {
        const char* commandLine;
        const char* logSwitch; // empty: no /log
        const char* logPath;
        int32_t language;
        bool help;
    } const cases[] = {
        {"/LOG=\"C:\\My Logs\\x.log\" /L1036", "/LOG=\"C:\\My Logs\\x.log\"", "C:\\My Logs\\x.log",
         1036, false},
        {"/L1031 /Log:x.log /?", "/Log:x.log", "x.log", 1031, true},
        {"/log   x.log   /HELP", "/log   x.log", "x.log", 0, true},
        {"/log \"x.log", "/log \"x.log", "x.log", 0, false},
        // The last one counts; an empty one is given, to be refused.
        {"/log a.log /log= /help", "/log=", "", 0, true},
        {"/log", "/log", "", 0, false},
        // A '/' inside the path is part of it, never a switch: only one
        // after a blank or outside quotes starts the next token.
        {"/log C:/x.log", "/log C:/x.log", "C:/x.log", 0, false},
        {"/log=logs/p.log /L1036", "/log=logs/p.log", "logs/p.log", 1036, false},
        {"/log \"C:/logs /s.log\" /?", "/log \"C:/logs /s.log\"", "C:/logs /s.log", 0, true},
        {"/logfile x.log /helper /h", "", "", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        SetupSwitches found = readSwitches(c.commandLine);
        EXPECT_EQ(found.logGiven, *c.logSwitch != '\0');
        EXPECT_EQ(found.logSwitch, c.logSwitch);
        EXPECT_EQ(found.logPath, c.logPath);
        EXPECT_EQ(found.language, c.language);
        EXPECT_EQ(found.help, c.help);
        // No piece of a path is read as /S or /P.
        EXPECT_FALSE(found.silent || found.progressOnly);
    }
}

TEST(ReadSwitches, ExtractTakesItsFolderAsLogTakesItsPath) {
    struct {
        const char* commandLine;
        const char* extractSwitch; // empty: no /extract
        const char* folder;
        const char* logPath;
        bool silent;
    } const cases[] = {
        {"/S /extract \"C:\\Admin Share\\x\" /log l.log", "/extract \"C:\\Admin Share\\x\"",
         "C:\\Admin Share\\x", "l.log", true},
        {"/EXTRACT=D:/out/x /L1036", "/EXTRACT=D:/out/x", "D:/out/x", "", false},
        {"/log=a/b.log /Extract:out /s", "/Extract:out", "out", "a/b.log", true},
        {"/extract", "/extract", "", "", false},
        {"/extractor x /extract= /P", "/extract=", "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        SetupSwitches found = readSwitches(c.commandLine);
        EXPECT_EQ(found.extractGiven, *c.extractSwitch != '\0');
        EXPECT_EQ(found.extractSwitch, c.extractSwitch);
        EXPECT_EQ(found.extractFolder, c.folder);
        EXPECT_EQ(found.logPath, c.logPath);
        EXPECT_EQ(found.silent, c.silent);
    }
}
