#pragma once
#include <cstdint>

#include "base/setup_format.h"
#include "base/text.h"

struct LanguageRow {
    Text name;    // display name, code page 1252
    int32_t lcid; // Windows language identifier
};

constexpr int languageCount = static_cast<int>(setup_format::knownLanguageCount);

// The built-in languages, those of setup_format::knownLanguages in their
// order; a row's index is the languageIndex that selects it.
extern const LanguageRow LanguageTable[languageCount];

enum class MessageRow {
    dialogCaption,
    dialogPrompt,
    okLabel,
    cancelLabel,
    upgradeQuestion,
    laterVersionRefusal,
};
constexpr int messageRowCount = 6;

// One column per LanguageTable row; all texts are code page 1252.
extern const char* const MessageTable[messageRowCount][languageCount];

// Makes the row with this lcid the selected language of setupState; returns
// false and changes nothing when no row has it.
bool selectLanguage(int32_t lcid);

// The MessageTable cell of `row` in the selected language.
Text localizedText(MessageRow row);

// The first LanguageTable row with this lcid, or -1.
int findLanguageRow(int32_t lcid);

// The help box text in the selected language: the switches with every
// language that /L accepts, the property arguments and the exit codes.
Text helpText();
