#pragma once
#include <cstdint>

#include "base/list.h"
#include "base/text.h"

// Cuts the command line into switch tokens: each runs from a '/' up to the
// next '/' or the end, with trailing blanks (code 32 only) removed.
void splitSwitches(const char* commandLine, List<Text>& tokens);

// What the switches of a command line ask for.
struct SetupSwitches {
    int32_t language = 0; // the last /L<lcid> of a known language; 0: none
    bool silent = false;  // /S
    bool wait = false;    // /W
};

// Reads /L<lcid>, /S and /W, in either case, from left to right. A null
// command line counts as empty; anything else is passed over in silence.
SetupSwitches readSwitches(const char* commandLine);
