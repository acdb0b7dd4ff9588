#pragma once

#include <cstddef>

// Command lines that start a program of the system folder by its full
// path, so that a cmd.exe or net.exe planted in the program's own folder,
// the current directory or on PATH never runs in its place.

// The folder that GetSystemDirectoryA gave, with one backslash at its end
// (a trail byte 0x5C of a double-byte character is no backslash). 1, or
// 0 with output empty when it is empty or does not fit in size bytes.
int SystemFolderPath(const char* directory, char* output, std::size_t size);

// "<system folder>cmd.exe" /d /s /c ""<batch file>"": no AutoRun
// commands, and /s makes the interpreter drop only the outer pair of
// quotes, so the inner pair keeps the path whole whatever it holds
// (blanks, parentheses, &, @) and whether the file exists or not.
// 1, or 0 with output empty when a path holds a quote (it could not be
// quoted) or the line would not fit in size bytes: a cut line would run
// another file.
int InterpreterCommandLine(const char* systemFolder, const char* batchFile, char* output,
                           std::size_t size);

// "<system folder><program>" <arguments>. 1, or 0 with output empty as
// above.
int SystemProgramCommandLine(const char* systemFolder, const char* program,
                             const char* arguments, char* output, std::size_t size);
