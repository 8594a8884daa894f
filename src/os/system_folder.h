#pragma once
#include <windows.h>

#include <cstring>

#include "base/text.h"

// The full path of `fileName` in the Windows system folder, or the empty
// text when the folder cannot be read. Programs and libraries of the system
// are taken from there by full path, never by the search order, which
// starts in the folder of the setup program (usually Downloads).
Text systemFilePath(const char* fileName);

// Loads a library of the system folder, never one found by the search order;
// nullptr when it cannot be loaded.
HMODULE loadSystemLibrary(const char* fileName);

// The address of `name` in `module` as a function of type Function, or
// nullptr when the module lacks it.
template <typename Function> Function libraryFunction(HMODULE module, const char* name) {
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    Function function;
    static_assert(sizeof(address) == sizeof(function), "function pointer size");
    std::memcpy(&function, &address, sizeof(address));
    return function;
}

// Restricts the DLL search of the process to the system folder where the
// system supports it.
void restrictDllSearchToSystemFolder();

// The current directory, read in two steps without a fixed limit; the
// empty text when it cannot be read.
Text currentDirectory();

// The full path of `path` (a relative one is taken from the current
// directory) when a program could create or replace a file there: the file
// does not exist yet in a folder that does, or is a file that is not
// read-only. The empty text otherwise, also for a path that ends in a
// separator, a name that no file may have and a full path of MAX_PATH
// characters or more. It only looks; nothing is created.
Text writableFilePath(const Text& path);
