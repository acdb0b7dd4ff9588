#pragma once

#include <cstddef>
#include <cstdint>

// upsombx.conf: the wait time before the UPS manager service is stopped,
// and the program lines. Read in text mode, in pieces of at most 1023
// bytes; a longer program line is read as several lines, while the
// further pieces of a longer "#" or "_" line belong to it and are skipped.
//
//   "#..."                  comment
//   "__waitTimeMERLOW=<ms>" the wait time (first such line counts)
//   "_..."                  ignored
//   anything else           program line: "<command line>[,<wait ms>[,...]]"

inline constexpr char kStartupConfigName[] = "upsombx.conf";
inline constexpr char kWaitTimePrefix[] = "__waitTimeMERLOW=";
inline constexpr std::int32_t kDefaultWaitTime = 10000;
inline constexpr std::size_t kFieldSize = 256;      // a field holds at most 255 bytes
inline constexpr std::size_t kProgramTextSize = 260;
inline constexpr std::int32_t kNoWait = -2;

// Copies the text before the first ch (searching over double-byte
// characters as units) into destination and sets position to its offset:
// 0. When that text needs destinationSize bytes or more: 1, destination
// untouched. When ch does not occur: -1.
int SplitAtChar(const char* text, char* destination, std::size_t destinationSize,
                std::size_t* position, char ch);

// Splits a program line into its program text and wait time (kNoWait
// without a second field). A program text or wait time of 256 bytes or
// more makes the line unusable: the program text is then empty and nothing
// is started for it. Always 1.
int ParseProgramLine(const char* line, char* programText, std::int32_t* waitMs);

// The wait time of the file at path; kDefaultWaitTime when the file or the
// line is missing.
std::int32_t ReadWaitTime(const char* path);

struct ProgramLine {
    char programText[kProgramTextSize];
    std::int32_t waitMs;
};

// The first capacity program lines of the file, in file order, parsed;
// later ones are read and ignored. A line's trailing line feed is removed
// unless the line is nothing else. -1 when the file cannot be opened,
// else the number of lines stored.
int ReadProgramLines(const char* path, ProgramLine* lines, int capacity);
