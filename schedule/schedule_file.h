#pragma once

#include "schedule/schedule_record.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The line format of upstrm.dat: 19 fields separated by ";", numbers in
// decimal, local timestamps "dd.mm.yyyy_hh:mm:ss".

inline constexpr int kScheduleLineRead = 1023;   // one read takes at most 1022 characters
inline constexpr int kScheduleLineSize = 1024;
inline constexpr std::size_t kTimestampSize = 32;

// The local time of a timestamp through mktime; missing numbers count as
// 0. -1 when it cannot be converted or does not fit in 32 bits.
std::int32_t ParseTimestamp(const char* text);

// The same, and in stamp (20 characters) what FormatTimestamp gives for
// the result, taken from mktime's normalisation of the text; the empty
// text when the result is negative.
std::int32_t ParseTimestamp(const char* text, char* stamp);

// The timestamp of a time value in local time; the empty text when
// localtime cannot convert it. Returns output.
char* FormatTimestamp(char* output, std::size_t size, std::int32_t time);

// Lines of a stream opened in text mode, read in blocks: the runtime's
// text translation (CR LF to LF) is the one fgets sees, and the reader
// knows how many characters each read took, NUL bytes included.
class LineReader {
public:
    explicit LineReader(std::FILE* stream) : stream_(stream) {}
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // As fgets with a buffer of size characters: up to size - 1, through
    // the newline, then a NUL. Returns the number of characters taken; 0
    // at the end of the file or on a read error.
    int Read(char* buffer, int size);
    // True when nothing is left to read.
    bool AtEnd();
    bool Failed() const { return std::ferror(stream_) != 0; }

private:
    bool Fill();

    std::FILE* stream_;
    char block_[16384];
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// Reads one line into buffer (size characters at most, NUL included) and
// puts the number of characters read, newline included, in *length. 1 with
// one line in the buffer and its newline removed (a last line without one
// is taken whole). 0 at the end of the file, on a read error, for a line
// shorter than two characters with its newline, and for text that is no
// whole line: a line longer than the buffer, or one holding a NUL byte.
// After a 0 the buffer still holds the *length characters read, so that
// the caller can keep them.
int ReadScheduleLine(LineReader& reader, char* buffer, int size, int* length);

// Copies the field that starts at text into output, NUL-terminated, up to
// the delimiter or the end of the text, and returns the position of the
// character that ended it. nullptr when the field does not fit in output.
const char* NextField(const char* text, char delimiter, char* output, std::size_t size);

// The line of a record, newline included, with time as field 19, or the
// text field19 when given (at most kKeptStampMax characters).
void FormatScheduleLine(char (&output)[kScheduleLineSize], const ScheduleRecord& record,
                        std::int32_t time, const char* field19 = nullptr);

// The longest field 19 carried as text: what always fits in a line of
// kScheduleLineSize beside 17 numbers of 11 characters and a full action.
inline constexpr std::size_t kKeptStampMax = 512;
