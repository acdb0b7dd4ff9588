#pragma once

#include <cstddef>

// The system folder (GetSystemDirectoryA: for a 32-bit program under
// WoW64 the one the file system shows it as System32) with a backslash
// at its end, into size bytes. 1, or 0 with folder empty when the system
// does not give it or it does not fit: a bare "cmd.exe" would be looked
// for in the program's folder and the current directory first.
int GetSystemFolder(char* folder, std::size_t size);
