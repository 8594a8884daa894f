#pragma once

#include "base/text.h"

// Why an installer property on the setup's command line is not accepted.
enum class ArgumentRefusal {
    none,
    setBySetup,     // TRANSFORMS, SETUPEXEDIR, REINSTALL or REINSTALLMODE, in any case
    unmatchedQuote, // the argument's quotes are still open at the end of the line
};

// The setup's command line taken apart before the switches are read.
struct SetupArguments {
    // The command line without the property arguments, byte for byte as it
    // was otherwise: what the switches are read from.
    Text switches;
    // The accepted properties in the order given, each as NAME="value" with
    // a quote inside the value doubled, one blank between them; empty: none.
    Text properties;
    // A property spelled REBOOT was given: it decides about a restart.
    bool rebootGiven = false;
    ArgumentRefusal refusal = ArgumentRefusal::none;
    Text refusedArgument; // the first refused argument as it was typed
};

// Cuts the command line (without the program name; null counts as empty)
// into arguments as the Windows command line quotes them: blanks and tabs
// outside quotes separate, quotes group, 2n backslashes before a quote give
// n and the quote groups, 2n+1 give n and a quote, a doubled quote inside
// quotes gives one. An argument that reads NAME=value, NAME being letters,
// digits, '_' and '.' and starting with a letter or '_', is a property:
// it is taken out of the switch text, whatever its value holds. The
// argument after a bare /log (any case) is a path and never a property.
SetupArguments splitArguments(const char* commandLine);

// The text of the box that names a refused argument, as typed, and why.
Text refusalMessage(const Text& argument, const char* reason);
Text refusalMessage(const SetupArguments& arguments);
