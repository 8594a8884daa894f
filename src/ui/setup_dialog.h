#pragma once
#include <windows.h>

// Exit code of a setup that failed before or while starting the installer.
constexpr int installFailureExitCode = 1603; // ERROR_INSTALL_FAILURE

// The procedure of the language dialog, which drives the whole setup.
INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
