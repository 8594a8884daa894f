#pragma once

#include "base/list.h"
#include "base/text.h"

// Cuts the command line into switch tokens: each runs from a '/' up to the
// next '/' or the end, with trailing blanks (code 32 only) removed.
void splitSwitches(const char* commandLine, List<Text>& tokens);

// Applies /L<lcid>, /S and /W to setupState from left to right. A null
// command line counts as empty; anything else is passed over in silence.
void parseCommandLine(const char* commandLine);
