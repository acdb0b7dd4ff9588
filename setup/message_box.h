#pragma once

#include <windows.h>

// Every box of the installer: no owner, caption "SetUp", an OK button and
// the one icon flag given (MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONERROR).
void ShowSetupMessage(const char* text, UINT icon);
