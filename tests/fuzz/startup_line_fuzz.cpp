// One line of upsombx.conf: SplitAtChar finds the first separator that is
// a character of its own, and a program line keeps its command line and
// wait time only while both are shorter than 256 bytes.
//
// Input: the destination size for SplitAtChar, the separator, then the line.

#include "fuzz_support.h"
#include "supervision/startup_config.h"

#include <memory>

namespace {

// The offset of the first ch that starts a character, or npos.
std::size_t FirstSeparator(const std::string& text, char ch, std::size_t from = 0)
{
    const std::vector<bool> starts = CharacterStarts(text);
    for (std::size_t at = from; at < text.size(); ++at)
        if (starts[at] && text[at] == ch)
            return at;
    return std::string::npos;
}

void CheckSplit(const std::string& text, std::size_t size, char ch)
{
    // Exactly size bytes, so that a write past them is caught.
    std::unique_ptr<char[]> destination(new char[size + 1]);
    char* const out = destination.get() + 1;  // size 0 still has an address
    std::memset(out, 'X', size);
    std::size_t position = 12345;
    const int split = SplitAtChar(text.c_str(), out, size, &position, ch);
    const std::size_t expected = ch == '\0' ? std::string::npos : FirstSeparator(text, ch);
    if (expected == std::string::npos) {
        FUZZ_CHECK(split == -1);
    } else if (expected >= size) {
        FUZZ_CHECK(split == 1);
    } else {
        FUZZ_CHECK(split == 0);
        FUZZ_CHECK(position == expected);
        FUZZ_CHECK(std::string(out) == text.substr(0, expected));
        return;
    }
    FUZZ_CHECK(position == 12345);
    for (std::size_t k = 0; k < size; ++k)
        FUZZ_CHECK(out[k] == 'X');
}

void CheckProgramLine(const std::string& line)
{
    std::unique_ptr<char[]> programText(new char[kProgramTextSize]);
    std::int32_t waitMs = 12345;
    FUZZ_CHECK(ParseProgramLine(line.c_str(), programText.get(), &waitMs) == 1);

    const std::size_t comma = FirstSeparator(line, ',');
    const std::string command = line.substr(0, comma);
    std::string wait;
    if (comma != std::string::npos) {
        const std::size_t next = FirstSeparator(line, ',', comma + 1);
        wait = line.substr(comma + 1, next == std::string::npos ? next : next - comma - 1);
    }
    if (command.size() >= kFieldSize || wait.size() >= kFieldSize) {
        FUZZ_CHECK(programText[0] == '\0');
        FUZZ_CHECK(waitMs == kNoWait);
        return;
    }
    FUZZ_CHECK(command == programText.get());
    FUZZ_CHECK(waitMs == (comma == std::string::npos ? kNoWait : Atol(wait)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t destinationSize = input.Byte();
    const char ch = static_cast<char>(input.Byte());
    // As fgets hands a line over: up to a NUL, at most 1023 bytes.
    std::string line = input.Text();
    if (line.size() > 1023)
        line.resize(1023);
    CheckSplit(line, destinationSize, ch);
    CheckSplit(line, kFieldSize, ',');
    CheckProgramLine(line);
    return 0;
}
