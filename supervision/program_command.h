#pragma once

#include <cstddef>

// The command line of a program line: the program directory followed by
// the program text. CreateProcessA takes an unquoted command line with a
// blank by trying each blank-separated prefix as a program, so when the
// directory holds a blank, the directory and the program's first word
// (up to the first blank or tab) go in double quotes together; the rest
// of the program text follows unchanged. Without a blank in the directory
// the two are simply joined.
// 0, or -1 (destination empty) when the result would not fit in
// destinationSize bytes with its end.
int JoinProgramCommandLine(const char* directory, const char* programText, char* destination,
                           std::size_t destinationSize);
