#include "ui/languages.h"

#include "state/setup_state.h"
#include "ui/message_text.h"

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

// The help box: its one "%s" takes the languages that /L accepts, named as
// the dialog names them. Dutch and Portuguese read English, as their dialog
// does.
const char helpLanguages[] = "1033 English, 1036 Fran\xE7"
                             "ais, 1031 Deutch, 1034 Espa\xF1ol, 1040 Italiano, 1043 Holand\xEAs, "
                             "1046 Portugu\xEAs";
const char englishHelp[] =
    "setup.exe [/L<lcid>] [/S | /P] [/W] [/log PATH] [NAME=value]...\n"
    "setup.exe /extract FOLDER\n"
    "\n"
    "/L<lcid>\tsetup language: %s\n"
    "/S\tquiet installation, never restarts the machine\n"
    "/P\tlike /S, showing the installer's progress\n"
    "/W\twait for the installer\n"
    "/log PATH\tthe installer's log file\n"
    "/extract FOLDER\twrite the package and its transforms into FOLDER, install nothing\n"
    "/?, /help\tthis help\n"
    "NAME=value\tinstaller property, e.g. INSTALLDIR=\"C:\\Program Files\\Product\"\n"
    "\n"
    "Exit codes: 0 installed, 3010 installed (restart needed), 1602 cancelled, 1603 failed, 1618 "
    "another installation is running, 1638 a later version is installed, 1639 invalid command "
    "line, 1 damaged setup; otherwise the installer's own code.";
const char frenchHelp[] =
    "setup.exe [/L<lcid>] [/S | /P] [/W] [/log CHEMIN] [NOM=valeur]...\n"
    "setup.exe /extract DOSSIER\n"
    "\n"
    "/L<lcid>\tlangue d'installation : %s\n"
    "/S\tinstallation silencieuse, sans red\xE9marrage de l'ordinateur\n"
    "/P\tcomme /S, en affichant la progression\n"
    "/W\tattendre la fin de l'installation\n"
    "/log CHEMIN\tfichier journal de l'installation\n"
    "/extract DOSSIER\t\xE9"
    "crire le paquet et ses transformations dans DOSSIER, sans installer\n"
    "/?, /help\tcette aide\n"
    "NOM=valeur\tpropri\xE9t\xE9 de l'installation, par ex. INSTALLDIR=\"C:\\Program "
    "Files\\Produit\"\n"
    "\n"
    "Codes de sortie : 0 install\xE9, 3010 install\xE9 (red\xE9marrage n\xE9"
    "cessaire), 1602 annul\xE9, 1603 \xE9"
    "chec, 1618 une autre installation est en cours, 1638 une version plus r\xE9"
    "cente est install\xE9"
    "e, 1639 ligne de commande non valide, 1 programme d'installation endommag\xE9 ; sinon le code "
    "du programme d'installation Windows.";
const char germanHelp[] =
    "setup.exe [/L<lcid>] [/S | /P] [/W] [/log PFAD] [NAME=Wert]...\n"
    "setup.exe /extract ORDNER\n"
    "\n"
    "/L<lcid>\tSetup-Sprache: %s\n"
    "/S\tInstallation ohne Benutzeroberfl\xE4"
    "che, ohne Neustart des Computers\n"
    "/P\twie /S, mit Fortschrittsanzeige\n"
    "/W\tauf das Ende der Installation warten\n"
    "/log PFAD\tProtokolldatei der Installation\n"
    "/extract ORDNER\tPaket und Transformationen in ORDNER schreiben, nichts installieren\n"
    "/?, /help\tdiese Hilfe\n"
    "NAME=Wert\tEigenschaft der Installation, z. B. INSTALLDIR=\"C:\\Program Files\\Produkt\"\n"
    "\n"
    "Exitcodes: 0 installiert, 3010 installiert (Neustart erforderlich), 1602 abgebrochen, 1603 "
    "fehlgeschlagen, 1618 eine andere Installation l\xE4uft, 1638 eine neuere Version ist "
    "installiert, 1639 ung\xFCltige Befehlszeile, 1 Setup besch\xE4"
    "digt; sonst der Code von Windows Installer.";
const char spanishHelp[] =
    "setup.exe [/L<lcid>] [/S | /P] [/W] [/log RUTA] [NOMBRE=valor]...\n"
    "setup.exe /extract CARPETA\n"
    "\n"
    "/L<lcid>\tidioma de instalaci\xF3n: %s\n"
    "/S\tinstalaci\xF3n silenciosa, sin reiniciar el equipo\n"
    "/P\tcomo /S, mostrando el progreso\n"
    "/W\tesperar a que termine la instalaci\xF3n\n"
    "/log RUTA\tarchivo de registro de la instalaci\xF3n\n"
    "/extract CARPETA\tescribir el paquete y sus transformaciones en CARPETA, sin instalar\n"
    "/?, /help\testa ayuda\n"
    "NOMBRE=valor\tpropiedad de la instalaci\xF3n, p. ej. INSTALLDIR=\"C:\\Program "
    "Files\\Producto\"\n"
    "\n"
    "C\xF3"
    "digos de salida: 0 instalado, 3010 instalado (hay que reiniciar), 1602 cancelado, 1603 error, "
    "1618 hay otra instalaci\xF3n en curso, 1638 hay una versi\xF3n posterior instalada, 1639 "
    "l\xEDnea de comandos no v\xE1lida, 1 programa de instalaci\xF3n da\xF1"
    "ado; si no, el c\xF3"
    "digo de Windows Installer.";
const char italianHelp[] =
    "setup.exe [/L<lcid>] [/S | /P] [/W] [/log PERCORSO] [NOME=valore]...\n"
    "setup.exe /extract CARTELLA\n"
    "\n"
    "/L<lcid>\tlingua dell'installazione: %s\n"
    "/S\tinstallazione invisibile, senza riavviare il computer\n"
    "/P\tcome /S, mostrando l'avanzamento\n"
    "/W\tattendere la fine dell'installazione\n"
    "/log PERCORSO\tfile di log dell'installazione\n"
    "/extract CARTELLA\tscrivere il pacchetto e le sue trasformazioni in CARTELLA, senza "
    "installare\n"
    "/?, /help\tquesta guida\n"
    "NOME=valore\tpropriet\xE0 dell'installazione, ad es. INSTALLDIR=\"C:\\Program "
    "Files\\Prodotto\"\n"
    "\n"
    "Codici di uscita: 0 installato, 3010 installato (riavvio necessario), 1602 annullato, 1603 "
    "non riuscito, 1618 \xE8 in corso un'altra installazione, 1638 \xE8 installata una versione "
    "successiva, 1639 riga di comando non valida, 1 programma di installazione danneggiato; "
    "altrimenti il codice di Windows Installer.";

const char* const helpTable[languageCount] = {englishHelp, frenchHelp,  germanHelp, spanishHelp,
                                              italianHelp, englishHelp, englishHelp};
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

Text helpText() {
    return formatWithProductName(helpTable[setupState.languageIndex], helpLanguages);
}
