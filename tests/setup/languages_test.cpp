#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

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

std::vector<unsigned char> bytesAbove127(const char* text) {
    std::vector<unsigned char> bytes;
    for (const char* c = text; *c; ++c)
        if (static_cast<unsigned char>(*c) > 127)
            bytes.push_back(static_cast<unsigned char>(*c));
    return bytes;
}

const char* const caption = u8"Choose Setup Language";
const char* const prompt = u8"Select the language for this installation from the choices below.";
const char* const upgrade =
    u8"This Setup will perform an upgrade of '%s'. Do you want to continue?";
const char* const later =
    u8"A later version of %s is already installed on this machine. Setup cannot continue.";

const char* const expectedNames[languageCount] = {
    u8"English", u8"Français", u8"Deutch", u8"Español", u8"Italiano", u8"Holandês", u8"Português"};
const int32_t expectedLcids[languageCount] = {1033, 1036, 1031, 1034, 1040, 1043, 1046};

const char* const expectedMessages[messageRowCount][languageCount] = {
    {caption, u8"Choisissez la langue d'installation", u8"Wählen Sie eine Setup-Sprache aus",
     u8"Elegir idioma de instalación", u8"Seleziona la lingua dell'installazione", caption,
     caption},
    {prompt, u8"Choisissez la langue d'installation dans la liste ci-dessous.",
     u8"Wählen Sie die Sprache dieser Installation aus der unten aufgeführten Auswahl aus.",
     u8"Seleccionar uno de los idiomas siguientes para la instalación.",
     u8"Selezionare la lingua per questa installazione tra le opzioni indicate di seguito.", prompt,
     prompt},
    {u8"OK", u8"OK", u8"OK", u8"Aceptar", u8"OK", u8"OK", u8"OK"},
    {u8"Cancel", u8"Annuler", u8"Abbrechen", u8"Cancelar", u8"Cancella", u8"Afbreken",
     u8"Cancelar"},
    {upgrade, upgrade, upgrade, upgrade, upgrade, upgrade, upgrade},
    {later, later, later, later, later, later, later},
};

using Languages = FreshSetupState;
} // namespace

TEST(LanguageTables, EveryTextHoldsTheCodePage1252Bytes) {
    for (int column = 0; column < languageCount; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(LanguageTable[column].name.c_str(), cp1252(expectedNames[column]));
        EXPECT_EQ(LanguageTable[column].lcid, expectedLcids[column]);
        for (int row = 0; row < messageRowCount; ++row)
            EXPECT_EQ(MessageTable[row][column], cp1252(expectedMessages[row][column]))
                << "row " << row;
    }
}

TEST(LanguageTables, OnlyTheAccentedLettersLieAbove127) {
    using Bytes = std::vector<unsigned char>;
    const Bytes none;
    const Bytes nameBytes[languageCount] = {none, {0xE7}, none, {0xF1}, none, {0xEA}, {0xEA}};
    for (int column = 0; column < languageCount; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(bytesAbove127(LanguageTable[column].name.c_str()), nameBytes[column]);
        for (int row = 0; row < messageRowCount; ++row) {
            Bytes expected = none;
            if (column == 2 && row == static_cast<int>(MessageRow::dialogCaption))
                expected = {0xE4}; // Wählen
            if (column == 2 && row == static_cast<int>(MessageRow::dialogPrompt))
                expected = {0xE4, 0xFC}; // Wählen ... aufgeführten
            if (column == 3 && (row == static_cast<int>(MessageRow::dialogCaption) ||
                                row == static_cast<int>(MessageRow::dialogPrompt)))
                expected = {0xF3}; // instalación
            EXPECT_EQ(bytesAbove127(MessageTable[row][column]), expected) << "row " << row;
        }
    }
}

TEST_F(Languages, SelectingAKnownLcidSetsItsRow) {
    for (int row = languageCount - 1; row >= 0; --row) {
        EXPECT_TRUE(selectLanguage(expectedLcids[row]));
        expectSelected(expectedLcids[row]);
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
    ASSERT_TRUE(selectLanguage(1034));
    EXPECT_EQ(localizedText(MessageRow::okLabel), "Aceptar");
    EXPECT_EQ(localizedText(MessageRow::dialogCaption),
              cp1252(u8"Elegir idioma de instalación").c_str());
}

TEST_F(Languages, VersionMessagesAreEnglishInEveryLanguage) {
    for (int32_t lcid : expectedLcids) {
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
    for (int32_t lcid : expectedLcids) {
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
