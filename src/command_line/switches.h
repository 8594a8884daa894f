#pragma once
#include <cstdint>

#include "base/text.h"

// What the switches of a command line ask for.
struct SetupSwitches {
    int32_t language = 0;      // the last /L<lcid> of a known language; 0: none
    bool silent = false;       // /S
    bool progressOnly = false; // /P
    bool wait = false;         // /W
    bool help = false;         // /? or /help
    bool logGiven = false;     // a /log token; the last one counts
    Text logPath;              // its path, outer quotes removed; may be empty
    Text logSwitch;            // its token as typed
    bool extractGiven = false; // an /extract token; the last one counts
    Text extractFolder;        // its folder, outer quotes removed; may be empty
    Text extractSwitch;        // its token as typed
};

// Reads /L<lcid>, /S, /P, /W and /?, in either case, and /help, /log and
// /extract, from left to right. A token that begins with /log (any case)
// followed by a blank, '=' or ':' names the installer's log file by the rest
// of the token, which runs on over a '/' not after a blank or inside quotes
// (a path may hold '/'); a bare /log names none. /extract names the folder
// to write the package into in the same way. A null command line counts as
// empty; anything else is passed over in silence.
SetupSwitches readSwitches(const char* commandLine);
