#pragma once

#include <cstddef>

inline constexpr std::size_t kPathSize = 260;  // MAX_PATH

// The path of a file in the program directory: the drive and directory of
// the executable's path (trailing separator kept) followed by the file's
// name. 1 when it fits in size characters with its NUL; otherwise 0 and
// output holds the empty text, since a cut path could name another file.
int ProgramFilePath(char* output, std::size_t size, const char* modulePath, const char* fileName);
