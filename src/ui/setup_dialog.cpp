#include "ui/setup_dialog.h"

#include "base/setup_format.h"
#include "os/handle.h"
#include "os/resource_view.h"
#include "os/system_folder.h"
#include "os/wait_thread.h"
#include "package/extract.h"
#include "package/launch.h"
#include "product/installed_product.h"
#include "state/setup_state.h"
#include "ui/confirm_plan.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_requests.h"
#include "ui/message_text.h"
#include "ui/offered_languages.h"

namespace {
// The package file name as the resource gives it; every OK command starts
// from it, so a second OK never prefixes a path twice.
Text packageFileName;
// Owned by the OK handling; the watch only borrows it.
OSHandle installerProcess;
// Every end the setup decides sets it; a close that nobody decided is the
// user's close box.
int exitCode = setupExitCode(SetupEnd::cancelled, 0);

// Where the dialog is; requestEffect decides what an OK, a Cancel or a close
// request does there.
DialogPhase phase = DialogPhase::choosing;

void postClose(HWND dialog, int code) {
    exitCode = code;
    phase = DialogPhase::ending;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void endSetup(HWND dialog, SetupEnd end) {
    postClose(dialog, setupExitCode(end, 0));
}

int showMessage(HWND dialog, const Text& text, const Text& caption, UINT type) {
    return MessageBoxA(dialog, text.c_str(), caption.c_str(), type);
}

// A file or folder that extraction could not create. The box has no owner,
// as it always had: the language dialog under it stays enabled, and a second
// OK there is ignored.
void showCreateFailure(const Text& path) {
    Text message("Could not create a file named: ");
    message.append(path).append(". Please make sure that file doesn't already exist and you have "
                                "write permission to the directory.");
    showMessage(nullptr, message, setupState.productName, MB_OK);
}

// The upgrade question or the later-version refusal, whole, with the
// product name in it; gives the user's answer.
int showProductMessage(HWND dialog, MessageRow row, UINT type) {
    Text text = formatWithProductName(localizedText(row).c_str(), setupState.productName);
    return showMessage(dialog, text, setupState.productName, type);
}

void initialize(HWND dialog) {
    List<LanguageRow> offered;
    offeredLanguages(offered);
    if (!setupState.languageFixed)
        selectLanguage(static_cast<int32_t>(static_cast<uint32_t>(GetUserDefaultUILanguage())));
    // An installed product keeps its language: the dialog starts in it, and
    // a quiet run without /L installs in it.
    if (!setupState.languageNamed) {
        int32_t installed = installedLanguage(setupState.productCode.c_str());
        if (offersLanguage(offered, installed))
            selectLanguage(installed);
    }

    SetWindowTextA(dialog, localizedText(MessageRow::dialogCaption).c_str());
    SetDlgItemTextA(dialog, IDC_PROMPT, localizedText(MessageRow::dialogPrompt).c_str());
    SetDlgItemTextA(dialog, IDOK, localizedText(MessageRow::okLabel).c_str());
    SetDlgItemTextA(dialog, IDCANCEL, localizedText(MessageRow::cancelLabel).c_str());

    HWND combo = GetDlgItem(dialog, IDC_LANGUAGE);
    for (size_t i = 0; i < offered.size(); ++i) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(offered[i].name.c_str()));
        SendMessageA(combo, CB_SETITEMDATA, i, offered[i].lcid);
        if (offered[i].lcid == setupState.languageId)
            SendMessageA(combo, CB_SETCURSEL, i, 0);
    }

    if (offered.empty()) {
        showMessage(dialog, "Language error in the resource.", "", MB_OK);
        endSetup(dialog, SetupEnd::languageError);
    } else if (setupState.languageFixed) {
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    } else {
        ShowWindow(dialog, SW_SHOWNORMAL);
    }
}

// Puts the current directory and a backslash in front of a path.
void prefixWithCurrentDirectory(Text& path, const Text& directory) {
    Text full(directory);
    full.append('\\').append(path);
    path = full;
}

// The OK command ended without a decision. A shown dialog lets the user try
// again; a hidden one has nobody to ask and ends the setup as failed.
void endUndecided(HWND dialog) {
    if (!IsWindowVisible(dialog))
        return endSetup(dialog, SetupEnd::undecided);
    phase = DialogPhase::choosing;
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
}

void startWatching(HWND dialog) {
    phase = DialogPhase::waiting;
    installerWatch.notifyWindow = dialog;
    bool watching = installerWatch.start(installerProcess.get());
    ShowWindow(dialog, SW_HIDE);
    if (!watching) {
        // Without the watch thread the main thread waits itself, so the
        // files are still deleted only after the installer has ended.
        WaitForSingleObject(installerProcess.get(), INFINITE);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
}

// The OK command's acts, as carryOutConfirm calls them.
struct DialogActs {
    HWND dialog;
    InstallCheck check;

    bool writeFiles() {
        Text notCreated;
        if (extractPackageFiles(notCreated))
            return true;
        if (!notCreated.empty())
            showCreateFailure(notCreated);
        showMessage(dialog, "Could not extract files.", setupState.productName, MB_OK);
        return false;
    }
    void nameFilesBesideSetup() {
        Text directory = currentDirectory();
        prefixWithCurrentDirectory(setupState.packagePath, directory);
        prefixWithCurrentDirectory(setupState.transformPath, directory);
    }
    void refuseLaterVersion() {
        showProductMessage(dialog, MessageRow::laterVersionRefusal, MB_OK);
    }
    bool upgradeAccepted() {
        ShowWindow(dialog, SW_HIDE);
        return showProductMessage(dialog, MessageRow::upgradeQuestion, MB_OKCANCEL) == IDOK;
    }
    bool startInstaller() {
        installerProcess = launchInstaller(setupState.packagePath, setupState.transformPath, check);
        return installerProcess.isOpen();
    }
};

// Gathers what the OK command needs to know, then carries out its plan.
void confirm(HWND dialog) {
    phase = DialogPhase::confirming;
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    // A repeated OK starts afresh: it removes what the last one wrote.
    deleteExtractedFiles();
    setupState.packagePath = packageFileName;

    HWND combo = GetDlgItem(dialog, IDC_LANGUAGE);
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    selectLanguage(static_cast<int32_t>(SendMessageA(combo, CB_GETITEMDATA, index, 0)));
    setupState.packageEmbedded = resourceExists(setup_format::packageResource);

    ConfirmFacts facts;
    facts.selectedLanguage = setupState.languageId;
    facts.packageEmbedded = setupState.packageEmbedded;
    facts.packageNamed = !packageFileName.empty();
    facts.productCodeKnown = !setupState.productCode.empty();
    facts.check = facts.productCodeKnown
                      ? checkInstalledProduct(setupState.productCode.c_str(), setupState.versionMS,
                                              setupState.versionLS)
                      : InstallCheck::QueryFailed;
    facts.waitSwitch = setupState.waitForInstaller;
    const ConfirmPlan plan = planConfirm(facts);

    setupState.waitForInstaller = plan.wait;
    if (plan.transformLanguage)
        setupState.transformPath = transformFileName(plan.transformLanguage);
    else
        setupState.transformPath.clear();
    DialogActs acts{dialog, facts.check};
    SetupEnd end = carryOutConfirm(plan, acts);
    if (end == SetupEnd::undecided)
        return endUndecided(dialog);
    if (end == SetupEnd::installerEnded)
        return startWatching(dialog);
    endSetup(dialog, end);
}

// True when the installer that the setup waits for still runs.
bool installerRunning() {
    return phase == DialogPhase::waiting &&
           WaitForSingleObject(installerProcess.get(), 0) != WAIT_OBJECT_0;
}

void closeDialog(HWND dialog) {
    if (installerProcess.isOpen()) {
        // The setup waited: the installer's own result is the setup's result.
        // An installer whose end cannot be read is taken as failed.
        DWORD installerExit = 0;
        if (phase == DialogPhase::waiting) {
            if (!GetExitCodeProcess(installerProcess.get(), &installerExit))
                installerExit = 1603; // ERROR_INSTALL_FAILURE
            exitCode = setupExitCode(SetupEnd::installerEnded, installerExit);
        }
        installerProcess.close();
    }
    phase = DialogPhase::ending;
    deleteExtractedFiles();
    DestroyWindow(dialog);
}
} // namespace

INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        packageFileName = setupState.packagePath;
        initialize(dialog);
        return TRUE;
    case WM_COMMAND:
        if (wParam == IDOK) {
            if (requestEffect(phase, DialogRequest::ok, false) == RequestEffect::confirm)
                confirm(dialog);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            if (requestEffect(phase, DialogRequest::cancel, false) == RequestEffect::cancel)
                endSetup(dialog, SetupEnd::cancelled);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        // From the setup itself, the watch, the close box or another program.
        if (requestEffect(phase, DialogRequest::close, installerRunning()) == RequestEffect::close)
            closeDialog(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(exitCode);
        return TRUE;
    default:
        return FALSE;
    }
}
