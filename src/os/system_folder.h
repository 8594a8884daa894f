#pragma once

#include "startup/text.h"

// The full path of `fileName` in the Windows system folder, or the empty
// text when the folder cannot be read. Programs and libraries of the system
// are taken from there by full path, never by the search order, which
// starts in the folder of the setup program (usually Downloads).
Text systemFilePath(const char* fileName);

// Restricts the DLL search of the process to the system folder where the
// system supports it.
void restrictDllSearchToSystemFolder();

// The current directory, read in two steps without a fixed limit; the
// empty text when it cannot be read.
Text currentDirectory();
