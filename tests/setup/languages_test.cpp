#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "unit_support.h"

namespace {
// The expected texts below are written in UTF-8; their letters all lie where
// code page 1252 and Unicode agree (U+0000..U+007F, U+00A0..U+00FF).
std::string cp1252(const char* utf8) {
    std::string bytes;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(utf8); *c; ++c) {
        if (*c < 0x80) {
            bytes += static_cast<char>(*c);
        } else if ((*c == 0xC2 || *c == 0xC3) && (c[1] & 0xC0) == 0x80 &&
                   (((*c & 0x1F) << 6) | (c[1] & 0x3F)) >= 0xA0) {
            bytes += static_cast<char>(((*c & 0x1F) << 6) | (c[1] & 0x3F));
            ++c;
        } else {
            ADD_FAILURE() << "no code page 1252 letter in " << utf8;
        }
    }
    return bytes;
}

const char* const caption = u8"Choose Setup Language";
const char* const prompt = u8"Select the language for this installation from the choices below.";
const char* const upgrade =
    u8"This Setup will perform an upgrade of '%s'. Do you want to continue?";
const char* const later =
    u8"A later version of %s is already installed on this machine. Setup cannot continue.";

// Code page 1252 keeps its letters in single bytes: a byte above 127 that is
// no letter (UTF-8's continuation bytes, the signs at 0x80..0xBF, 0xD7 and 0xF7)
// would show as garbage in the dialog.
bool onlyCodePage1252Letters(const char* text) {
    for (const char* c = text; *c; ++c) {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (byte > 127 && (byte < 0xC0 || byte == 0xD7 || byte == 0xF7))
            return false;
    }
    return true;
}

using Languages = FreshSetupState;
} // namespace

TEST_F(Languages, EveryLanguageSetupPackKnowsResolvesItsOwnRowAndTexts) {
    std::set<std::string> names;
    for (int32_t lcid : setup_format::knownLanguages) {
        SCOPED_TRACE(lcid);
        ASSERT_TRUE(selectLanguage(lcid));
        expectSelected(lcid);
        EXPECT_EQ(findLanguageRow(lcid), setupState.languageIndex);
        const char* name = LanguageTable[setupState.languageIndex].name.c_str();
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_TRUE(onlyCodePage1252Letters(name)) << name;
        for (int row = 0; row < messageRowCount; ++row) {
            Text text = localizedText(static_cast<MessageRow>(row));
            EXPECT_FALSE(text.empty()) << "row " << row;
            EXPECT_TRUE(onlyCodePage1252Letters(text.c_str())) << text.c_str();
        }
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(languageCount));
}

TEST_F(Languages, DutchAndPortugueseFallBackToTheEnglishDialog) {
    for (int32_t lcid : {1033, 1043, 1046}) {
        ASSERT_TRUE(selectLanguage(lcid));
        EXPECT_EQ(localizedText(MessageRow::dialogCaption), caption) << lcid;
        EXPECT_EQ(localizedText(MessageRow::dialogPrompt), prompt) << lcid;
    }
    for (int32_t lcid : {1036, 1031, 1034, 1040}) {
        ASSERT_TRUE(selectLanguage(lcid));
        EXPECT_STRNE(localizedText(MessageRow::dialogCaption).c_str(), caption) << lcid;
        EXPECT_STRNE(localizedText(MessageRow::dialogPrompt).c_str(), prompt) << lcid;
    }
}

TEST_F(Languages, SelectingAKnownLcidSetsItsRow) {
    for (int row = languageCount - 1; row >= 0; --row) {
        EXPECT_TRUE(selectLanguage(LanguageTable[row].lcid));
        EXPECT_EQ(setupState.languageIndex, row);
    }
    EXPECT_TRUE(selectLanguage(1033)); // the selected one again
    expectSelected(1033);
}

TEST_F(Languages, UnknownLcidsSelectNothing) {
    for (int32_t lcid : {2057, 3084, 0, -1, -1036, 9999, INT_MAX, INT_MIN, 1036 + 65536})
        EXPECT_FALSE(selectLanguage(lcid)) << lcid;
    expectSelected(1033);
    ASSERT_TRUE(selectLanguage(1040));
    EXPECT_FALSE(selectLanguage(2057));
    expectSelected(1040);
}

TEST_F(Languages, TextsComeFromTheSelectedColumn) {
    ASSERT_TRUE(selectLanguage(1043));
    EXPECT_EQ(setupState.languageIndex, 5);
    EXPECT_EQ(localizedText(MessageRow::dialogCaption), caption);
    EXPECT_EQ(localizedText(MessageRow::dialogPrompt), prompt);
    EXPECT_EQ(localizedText(MessageRow::okLabel), "OK");
    EXPECT_EQ(localizedText(MessageRow::cancelLabel), "Afbreken");
    ASSERT_TRUE(selectLanguage(1046));
    EXPECT_EQ(localizedText(MessageRow::cancelLabel), "Cancelar");
    ASSERT_TRUE(selectLanguage(1036));
    EXPECT_EQ(localizedText(MessageRow::cancelLabel), "Annuler");
    EXPECT_EQ(LanguageTable[setupState.languageIndex].name.c_str(), cp1252(u8"Français"));
    ASSERT_TRUE(selectLanguage(1034));
    EXPECT_EQ(localizedText(MessageRow::okLabel), "Aceptar");
    EXPECT_EQ(localizedText(MessageRow::dialogCaption),
              cp1252(u8"Elegir idioma de instalación").c_str());
}

TEST_F(Languages, VersionMessagesAreEnglishInEveryLanguage) {
    for (int32_t lcid : setup_format::knownLanguages) {
        ASSERT_TRUE(selectLanguage(lcid));
        EXPECT_EQ(localizedText(MessageRow::upgradeQuestion), upgrade) << lcid;
        EXPECT_EQ(localizedText(MessageRow::laterVersionRefusal), later) << lcid;
    }
}

TEST_F(Languages, HelpNamesEverySwitchLanguageAndExitCodeInEachLanguage) {
    const char* const required[] = {"/L<lcid>", "/S",   "/P",   "/W",   "/log ", "/?",
                                    "/help",    "=",    " 0 ",  "3010", "1602",  "1603",
                                    "1618",     "1638", "1639", " 1 "};
    std::set<std::string> translations;
    for (int32_t lcid : setup_format::knownLanguages) {
        ASSERT_TRUE(selectLanguage(lcid));
        std::string help = helpText().c_str();
        for (const char* text : required)
            EXPECT_NE(help.find(text), std::string::npos) << lcid << " " << text;
        // Every language /L takes, named as the dialog names it.
        for (const LanguageRow& row : LanguageTable)
            EXPECT_NE(help.find(std::to_string(row.lcid) + " " + row.name.c_str()),
                      std::string::npos)
                << lcid << " " << row.lcid;
        EXPECT_EQ(help.find('%'), std::string::npos) << lcid;
        translations.insert(help);
    }
    EXPECT_EQ(translations.size(), 5u); // Dutch and Portuguese read English
}
