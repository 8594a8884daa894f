#pragma once

// Dialog template and control identifiers, shared by the resource script and
// the dialog procedure.
#define IDD_SETUP 129
#define IDC_LANGUAGE 1000
#define IDC_PROMPT -1
