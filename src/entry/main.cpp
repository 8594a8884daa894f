#include <windows.h>
#include <commctrl.h>

#include "base/setup_format.h"
#include "command_line/arguments.h"
#include "entry/apply_switches.h"
#include "os/system_folder.h"
#include "package/extract.h"
#include "product/version.h"
#include "state/setup_state.h"
#include "state/string_resource.h"
#include "ui/confirm_plan.h"
#include "ui/dialog_ids.h"
#include "ui/extract_report.h"
#include "ui/languages.h"
#include "ui/setup_dialog.h"

// The resource script names the dialog by the macro; setup-pack looks for it
// by the number both agree on.
static_assert(IDD_SETUP == setup_format::setupDialogId, "the dialog setup-pack looks for");

namespace {
struct RequiredText {
    const char* resourceName;
    Text* field;
    const char* failure;
};

void showStartupFailure(const char* text) {
    MessageBoxA(nullptr, text, "", MB_OK);
}

// Reads the product data; shows the box of the first text that is missing.
bool readProductData() {
    const RequiredText required[] = {
        {setup_format::packageNameResource, &setupState.packagePath,
         "Could not get msi filename from the resource."},
        {setup_format::productCodeResource, &setupState.productCode,
         "Could not get product code from the resource."},
        {setup_format::productNameResource, &setupState.productName,
         "Could not get product name from the resource."},
        {setup_format::versionResource, &setupState.versionText,
         "Could not get version number from the resource."},
    };
    for (const RequiredText& text : required) {
        if (!readStringResource(text.resourceName, *text.field)) {
            showStartupFailure(text.failure);
            return false;
        }
    }
    if (!parseVersion(setupState.versionText, setupState.versionMS, setupState.versionLS)) {
        showStartupFailure("Could not interpret version number string.");
        return false;
    }
    // A log file named on the command line replaces LOGPATH.
    if (setupState.logPath.empty())
        readStringResource(setup_format::logPathResource, setupState.logPath);
    return true;
}

// What the command line asks for besides an installation.
struct EntryRequests {
    bool help = false;    // /? or /help
    bool extract = false; // /extract, into extractFolder
    Text extractFolder;
};

// Takes the properties and the switches of the command line into setupState;
// shows the box of a refused argument (not when quiet) and gives false for
// it. `requests` gets what is asked for besides an installation.
bool applyCommandLine(const char* commandLine, EntryRequests& requests) {
    // Properties first: a '/' inside a value is never read as a switch.
    SetupArguments arguments = splitArguments(commandLine);
    const SetupSwitches switches = readSwitches(arguments.switches.c_str());
    applySwitches(switches);
    requests.help = switches.help;
    requests.extract = switches.extractGiven;
    requests.extractFolder = switches.extractFolder;
    // Taken as a full path now: the installer must find it whatever its own
    // current directory.
    Text logPath = writableFilePath(switches.logPath);
    Text refusal =
        arguments.refusal != ArgumentRefusal::none ? refusalMessage(arguments)
        : switches.logGiven && logPath.empty()
            ? refusalMessage(switches.logSwitch, "The installer cannot write its log file there.")
        : switches.extractGiven && switches.extractFolder.empty()
            ? refusalMessage(switches.extractSwitch, "Name the folder to write the files into.")
            : Text();
    if (!refusal.empty()) {
        if (!setupState.silent)
            showStartupFailure(refusal.c_str());
        return false;
    }
    setupState.installerProperties = arguments.properties;
    setupState.rebootProperty = arguments.rebootGiven;
    setupState.logPath = logPath;
    return true;
}

// The switches, the property arguments and the exit codes, in the setup's
// language.
void showHelp() {
    MessageBoxA(nullptr, helpText().c_str(), setupState.productName.c_str(), MB_OK);
}

// /extract: the package and its transforms written into the folder, and a
// box that says what was written or why nothing was (not when quiet).
int extractIntoFolder(const Text& folder) {
    List<Text> written;
    Text failedPath;
    FolderExtraction result = extractToFolder(folder, written, failedPath);
    if (!setupState.silent)
        MessageBoxA(
            nullptr, extractionReport(result, written, failedPath).c_str(),
            setupState.productName.c_str(),
            MB_OK | (result == FolderExtraction::done ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    return setupExitCode(result == FolderExtraction::done ? SetupEnd::filesExtracted
                                                          : SetupEnd::extractionFailed,
                         0);
}

int runMessageLoop(HWND dialog) {
    MSG message;
    for (;;) {
        BOOL result = GetMessageA(&message, nullptr, 0, 0);
        if (result == 0)
            return static_cast<int>(message.wParam);
        if (result == -1)
            return -1;
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // Before anything loads a library: a DLL planted beside the setup
    // program must never be found.
    restrictDllSearchToSystemFolder();

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    selectLanguage(static_cast<int32_t>(static_cast<uint32_t>(GetUserDefaultUILanguage())));
    // Refusals are decided before anything is written or started.
    EntryRequests requests;
    if (!applyCommandLine(commandLine, requests))
        return setupExitCode(SetupEnd::commandLineRefused, 0);
    if (!readProductData())
        return 1;
    if (requests.help) {
        showHelp();
        return 0;
    }
    if (requests.extract)
        return extractIntoFolder(requests.extractFolder);

    HWND dialog =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, setupDialogProc, 0);
    if (!dialog) {
        char text[32];
        wsprintfA(text, "Error x%x", GetLastError());
        MessageBoxA(nullptr, text, "CreateDialog", MB_ICONEXCLAMATION | MB_OK);
        return 1;
    }
    return runMessageLoop(dialog);
}
