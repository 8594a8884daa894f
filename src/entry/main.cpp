#include <windows.h>
#include <commctrl.h>

#include "base/setup_format.h"
#include "command_line/arguments.h"
#include "entry/apply_switches.h"
#include "os/system_folder.h"
#include "product/version.h"
#include "state/setup_state.h"
#include "state/string_resource.h"
#include "ui/confirm_plan.h"
#include "ui/dialog_ids.h"
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
    if (!readStringResource(setup_format::logPathResource, setupState.logPath))
        setupState.logPath.clear();
    return true;
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
    // Properties first: a '/' inside a value is never read as a switch.
    SetupArguments arguments = splitArguments(commandLine);
    parseCommandLine(arguments.switches.c_str());
    if (arguments.refusal != ArgumentRefusal::none) {
        // Decided before anything is written or started.
        if (!setupState.silent)
            showStartupFailure(refusalMessage(arguments).c_str());
        return setupExitCode(SetupEnd::commandLineRefused, 0);
    }
    setupState.installerProperties = arguments.properties;
    setupState.rebootProperty = arguments.rebootGiven;

    if (!readProductData())
        return 1;

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
