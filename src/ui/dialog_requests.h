#pragma once

// Where the setup dialog is in a run.
enum class DialogPhase {
    choosing,   // the user picks a language
    confirming, // the OK command is at work (its boxes may be up)
    waiting,    // the installer was started and the setup waits for it
    ending,     // the setup itself has decided to end
};

// What can reach the dialog: its OK, a Cancel (the button or Esc), a close
// request (the close box, WM_CLOSE from the setup itself or from any other
// program).
enum class DialogRequest { ok, cancel, close };

enum class RequestEffect {
    ignore,  // nothing happens
    confirm, // the OK command starts
    cancel,  // the setup ends as cancelled
    close,   // the dialog closes: files deleted, the exit code as it stands
};

// What a request does in a phase. A second OK never starts a second OK
// command over the first; nothing but the installer's end closes the dialog
// while the installer runs, since closing deletes the files it reads.
RequestEffect requestEffect(DialogPhase phase, DialogRequest request, bool installerRunning);
