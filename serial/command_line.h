#pragma once

#include <cstdio>

// What one run of serovox is asked to do.
struct Request {
    char portName[8];  // "COM1:" to "COM4:", as given to CreateFileA
    char command[64];   // at most 62 bytes of text, a carriage return, a NUL;
                        // empty when no command was given
};

// Takes the arguments (argv[1] to argv[argc - 1]) apart, left to right.
// Returns 0 when the exchange can go on; otherwise the usage text or the
// "Illegal parameter" message has been written to err and the exit status
// (1 or 2) is returned.
int ParseCommandLine(int argc, char* const argv[], Request* request, std::FILE* err);
