#pragma once

#include <cstddef>

// The program of a service's ImagePath as the SCM takes it: a value that
// begins with a double quote names the program up to the closing quote
// (what follows is arguments; without a closing quote the rest is the
// program); any other value is used unchanged, as the directory split
// then ends at its last separator anyway.
// 0, or -1 (destination empty) when the program would not fit in
// destinationSize bytes with its end.
int ImagePathProgram(const char* imagePath, char* destination, std::size_t destinationSize);

// The folder of the program a command line names, the way
// ImagePathProgram takes the program (the product's UninstallString is
// often "\"C:\Program Files (x86)\...\unups.bat\"" in double quotes):
// its drive and directory, ending in a backslash.
// 0, or -1 (destination empty) when it would not fit in destinationSize.
int CommandFolder(const char* commandLine, char* destination, std::size_t destinationSize);

// Renames, in place, the references %ProgramFiles% and %CommonProgramFiles%
// (in any case) to %ProgramW6432% and %CommonProgramW6432%, names of the
// same length. On 64-bit Windows a 32-bit process sees the first two as
// the "(x86)" folders, while the SCM expands an ImagePath with the native
// ones, which the second two give.
void UseNativeProgramFiles(char* value);
