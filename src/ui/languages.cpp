#include "ui/languages.h"

#include "state/setup_state.h"

// The texts are code page 1252 bytes; non-ASCII letters are written as
// escapes so that the bytes do not depend on the encoding of this file.
// The rows take their lcids from the list setup-pack checks the languages
// against, so the two can never tell different languages apart.
const LanguageRow LanguageTable[languageCount] = {
    {"English", setup_format::knownLanguages[0]},
    {"Fran\xE7"
     "ais",
     setup_format::knownLanguages[1]},
    {"Deutch", setup_format::knownLanguages[2]},
    {"Espa\xF1ol", setup_format::knownLanguages[3]},
    {"Italiano", setup_format::knownLanguages[4]},
    {"Holand\xEAs", setup_format::knownLanguages[5]},
    {"Portugu\xEAs", setup_format::knownLanguages[6]},
};

namespace {
const char englishCaption[] = "Choose Setup Language";
const char englishPrompt[] = "Select the language for this installation from the choices below.";
const char upgradeText[] = "This Setup will perform an upgrade of '%s'. Do you want to continue?";
const char laterText[] =
    "A later version of %s is already installed on this machine. Setup cannot continue.";
} // namespace

const char* const MessageTable[messageRowCount][languageCount] = {
    // dialogCaption
    {englishCaption, "Choisissez la langue d'installation", "W\xE4hlen Sie eine Setup-Sprache aus",
     "Elegir idioma de instalaci\xF3n", "Seleziona la lingua dell'installazione", englishCaption,
     englishCaption},
    // dialogPrompt
    {englishPrompt, "Choisissez la langue d'installation dans la liste ci-dessous.",
     "W\xE4hlen Sie die Sprache dieser Installation aus der unten aufgef\xFChrten Auswahl aus.",
     "Seleccionar uno de los idiomas siguientes para la instalaci\xF3n.",
     "Selezionare la lingua per questa installazione tra le opzioni indicate di seguito.",
     englishPrompt, englishPrompt},
    // okLabel
    {"OK", "OK", "OK", "Aceptar", "OK", "OK", "OK"},
    // cancelLabel
    {"Cancel", "Annuler", "Abbrechen", "Cancelar", "Cancella", "Afbreken", "Cancelar"},
    // upgradeQuestion
    {upgradeText, upgradeText, upgradeText, upgradeText, upgradeText, upgradeText, upgradeText},
    // laterVersionRefusal
    {laterText, laterText, laterText, laterText, laterText, laterText, laterText},
};

int findLanguageRow(int32_t lcid) {
    for (int row = 0; row < languageCount; ++row)
        if (LanguageTable[row].lcid == lcid)
            return row;
    return -1;
}

bool selectLanguage(int32_t lcid) {
    int row = findLanguageRow(lcid);
    if (row < 0)
        return false;
    setupState.languageId = lcid;
    setupState.languageIndex = row;
    return true;
}

Text localizedText(MessageRow row) {
    return Text(MessageTable[static_cast<int>(row)][setupState.languageIndex]);
}
