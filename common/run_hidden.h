#pragma once

#include "common/unique_handle.h"

#include <windows.h>

// Starts a command line hidden, with the given current directory and the
// caller's environment. 1 on success: out owns the new process. 0 on
// failure, with out empty and GetLastError telling why. commandLine must
// be writable, as CreateProcessA may change it.
int RunHidden(char* commandLine, const char* currentDirectory, unique_process* out);
