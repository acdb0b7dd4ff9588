#pragma once

// The executable's own folder and the files in it, into MAX_PATH bytes.
// Where the module path is unavailable or cut at the buffer's end, or the
// joined path would not fit, both give 0 and the empty text, never a bare
// name: that would name a file of the current directory (System32 for a
// service) instead of the program's own.

// The drive and directory of the running executable, ending in a
// backslash. 1, or 0 with destination empty.
int GetProgramDirectory(char* destination);

// The program directory followed by fileName. 1, or 0 with destination
// empty.
int GetProgramFilePath(const char* fileName, char* destination);
