#pragma once

#include "command_line/switches.h"

// Applies what the switches ask for to setupState as if from left to right:
// the last /L of a known language is selected, fixed and named; /S or /P is
// quiet and, without such an /L, fixes English; /P shows the installer's
// progress unless /S is given too. /?, /help and /log are the entry's.
void applySwitches(const SetupSwitches& found);
