#pragma once

// Applies /L<lcid>, /S and /W to setupState as if from left to right: the
// last /L of a known language is selected and fixed; /S is quiet and, without
// such an /L, fixes English. A null command line counts as empty; anything
// else is passed over in silence.
void parseCommandLine(const char* commandLine);
