#include <gtest/gtest.h>

#include <initializer_list>

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

TEST_F(Switches, ProgressOnlyIsQuietUnlessSilentIsGivenToo) {
    expectOutcomes({
        {"/P", 1033, true, true, false, true},
        {"/passive /W", 1033, true, true, true, true},
        {"/p /L1036", 1036, true, true, false, true},
        {"/P /S", 1033, true, true, false, false},
        {"/S /P", 1033, true, true, false, false},
        {"/L9999 /P", 1033, true, true, false, true},
    });
}

TEST_F(Switches, OnlyAnLThatSelectsNamesTheLanguage) {
    for (const char* line : {"/L1036", "/S /L1031", "/L1043 /P"}) {
        setupState = SetupState();
        parseCommandLine(line);
        EXPECT_TRUE(setupState.languageNamed) << line;
    }
    for (const char* line : {"/S", "/P", "/L9999 /S", "/log C:\\x.log", ""}) {
        setupState = SetupState();
        parseCommandLine(line);
        EXPECT_FALSE(setupState.languageNamed) << line;
    }
}

TEST(ReadSwitches, LogNamesAFileByTheRestOfItsTokenAndIsNoLanguage) {
    struct {
        const char* commandLine;
        bool logGiven;
        const char* logPath;
        const char* logSwitch;
        int32_t language;
    } const cases[] = {
        {"/log C:\\Temp\\x.log", true, "C:\\Temp\\x.log", "/log C:\\Temp\\x.log", 0},
        {"/LOG=\"C:\\My Logs\\x.log\" /L1036", true, "C:\\My Logs\\x.log",
         "/LOG=\"C:\\My Logs\\x.log\"", 1036},
        {"/L1031 /Log:x.log", true, "x.log", "/Log:x.log", 1031},
        {"/log   x.log   ", true, "x.log", "/log   x.log", 0},
        {"/log \"x.log", true, "x.log", "/log \"x.log", 0},
        // The last one counts; empty ones are given, to be refused.
        {"/log a.log /log b.log", true, "b.log", "/log b.log", 0},
        {"/log", true, "", "/log", 0},
        {"/log= /S", true, "", "/log=", 0},
        {"/log \"\"", true, "", "/log \"\"", 0},
        // A '/' ends the token as it ends every token.
        {"/log C:/x.log", true, "C:", "/log C:", 0},
        // No /log token: an /L whose number has no digits.
        {"/logfile x.log", false, "", "", 0},
        {"/lo g", false, "", "", 0},
        {"/L1036", false, "", "", 1036},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        SetupSwitches found = readSwitches(c.commandLine);
        EXPECT_EQ(found.logGiven, c.logGiven);
        EXPECT_EQ(found.logPath, c.logPath);
        EXPECT_EQ(found.logSwitch, c.logSwitch);
        EXPECT_EQ(found.language, c.language);
    }
}

TEST(ReadSwitches, HelpIsTheQuestionMarkOrTheWordHelp) {
    for (const char* line : {"/?", "/help", "/HELP", "/Help  /S", "/?x", "/S /? /L1036"})
        EXPECT_TRUE(readSwitches(line).help) << line;
    for (const char* line : {"/h", "/helper", "/hel", "?", "/ ?", "/log ?"})
        EXPECT_FALSE(readSwitches(line).help) << line;
}
