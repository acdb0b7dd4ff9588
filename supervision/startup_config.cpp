#include "supervision/startup_config.h"

#include "common/dbcs.h"
#include "common/decimal.h"
#include "common/unique_file.h"

#include <cstdio>
#include <cstring>

namespace {

// A line is read in pieces of at most 1023 bytes, as fgets would.
constexpr int kPieceSize = 1024;

bool IsSkippedLine(const char* line)
{
    return line[0] == '#' || line[0] == '_';
}

// Reads a file piece by piece, as fgets with kPieceSize bytes cuts it,
// and tells of each piece whether it continues a "#" or "_" line longer
// than one piece: such a piece belongs to that line, so the tail of an
// overlong comment is never taken for a program line and started. The
// piece's text ends at its first zero byte, as fgets gives it; whether a
// line goes on is told by the bytes read, zero bytes included.
class PieceReader {
public:
    explicit PieceReader(std::FILE* file) : file_(file) {}

    char* Next(bool* continuesSkipped)
    {
        int length = 0;
        int c = 0;
        while (length + 1 < kPieceSize && (c = std::getc(file_)) != EOF) {
            line_[length++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        if (length == 0)
            return nullptr;
        line_[length] = '\0';
        *continuesSkipped = inSkippedLine_;
        const bool continued = line_[length - 1] != '\n';
        inSkippedLine_ = continued && (inSkippedLine_ || IsSkippedLine(line_));
        return line_;
    }

private:
    std::FILE* file_;
    char line_[kPieceSize];
    bool inSkippedLine_ = false;
};

}  // namespace

int SplitAtChar(const char* text, char* destination, std::size_t destinationSize,
                std::size_t* position, char ch)
{
    std::size_t at = 0;
    while (text[at] != '\0' && text[at] != ch)
        at += CharacterLength(text + at);
    if (text[at] == '\0')
        return -1;
    if (at >= destinationSize)
        return 1;
    std::memcpy(destination, text, at);
    destination[at] = '\0';
    *position = at;
    return 0;
}

int ParseProgramLine(const char* line, char* programText, std::int32_t* waitMs)
{
    *waitMs = kNoWait;
    programText[0] = '\0';
    const char* rest = line;
    for (int field = 0;; ++field) {
        char text[kFieldSize];
        std::size_t position = 0;
        const int split = SplitAtChar(rest, text, sizeof text, &position, ',');
        const bool tooLong = split == 1 || (split == -1 && std::strlen(rest) >= sizeof text);
        if (tooLong && field >= 2)
            return 1;  // fields after the wait time are ignored anyway
        if (tooLong) {
            // Cutting the field could start another program than the one
            // meant, or with other arguments: the line is not used.
            programText[0] = '\0';
            *waitMs = kNoWait;
            return 1;
        }
        if (split == -1)
            std::memcpy(text, rest, std::strlen(rest) + 1);
        if (field == 0)
            std::memcpy(programText, text, std::strlen(text) + 1);
        else if (field == 1)
            *waitMs = ParseDecimal(text);
        if (split == -1)
            return 1;
        rest += position + 1;
    }
}

std::int32_t ReadWaitTime(const char* path)
{
    unique_file file(std::fopen(path, "r"));
    if (!file)
        return kDefaultWaitTime;
    std::int32_t waitTime = kDefaultWaitTime;
    const std::size_t prefixLength = sizeof kWaitTimePrefix - 1;
    PieceReader reader(file.get());
    bool continuesSkipped = false;
    for (char* line; (line = reader.Next(&continuesSkipped)) != nullptr;) {
        if (!continuesSkipped && std::strncmp(line, kWaitTimePrefix, prefixLength) == 0) {
            waitTime = ParseDecimal(line + prefixLength);
            break;
        }
    }
    return waitTime;
}

int ReadProgramLines(const char* path, ProgramLine* lines, int capacity)
{
    unique_file file(std::fopen(path, "r"));
    if (!file)
        return -1;
    int count = 0;
    PieceReader reader(file.get());
    bool continuesSkipped = false;
    for (char* line; (line = reader.Next(&continuesSkipped)) != nullptr;) {
        if (continuesSkipped || IsSkippedLine(line) || count >= capacity)
            continue;
        const std::size_t length = std::strlen(line);
        if (length > 1 && line[length - 1] == '\n')
            line[length - 1] = '\0';
        ParseProgramLine(line, lines[count].programText, &lines[count].waitMs);
        ++count;
    }
    return count;
}
