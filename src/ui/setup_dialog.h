#pragma once
#include <windows.h>

// The procedure of the language dialog, which drives the whole setup.
INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
