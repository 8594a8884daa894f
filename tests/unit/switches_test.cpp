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
