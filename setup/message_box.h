#pragma once

#include <windows.h>

// Every box of the installer: no owner, caption "SetUp", an OK button and
// the one icon flag given (MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONERROR).
// exitCode is the run's outcome (setup/outcome.h); a quiet run keeps it
// and shows nothing.
void ShowSetupMessage(const char* text, UINT icon, int exitCode);
