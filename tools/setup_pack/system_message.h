#pragma once
#include <windows.h>

#include <string>

// The system's text for an error code, without its closing period and line
// break; "error N" when the system has none.
std::string systemMessage(DWORD error);
