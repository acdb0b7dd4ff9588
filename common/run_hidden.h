#pragma once

#include <windows.h>

// Starts a command line hidden, with the given current directory and the
// caller's environment. 1 on success: the handles in out now belong to
// the caller. 0 on failure, with out's hProcess and hThread null.
// commandLine must be writable, as CreateProcessA may change it.
int RunHidden(char* commandLine, const char* currentDirectory, PROCESS_INFORMATION* out);
