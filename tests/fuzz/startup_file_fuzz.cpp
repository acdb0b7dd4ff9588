// A whole upsombx.conf: the wait time is the first "__waitTimeMERLOW="
// piece's; the program lines are the first 64 pieces of at most 1023 bytes
// that begin with neither "#" nor "_", each parsed as one program line.
// The further pieces of a "#" or "_" line belong to it: neither counts.

#include "fuzz_support.h"
#include "supervision/startup_config.h"

#include <algorithm>
#include <memory>

namespace {

constexpr int kCapacity = 64;

// The file as fgets with a 1024-byte buffer cuts it.
std::vector<std::string> Pieces(const std::string& bytes)
{
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = bytes.find('\n', at);
        length = length == std::string::npos ? bytes.size() - at : length + 1 - at;
        if (length > 1023)
            length = 1023;
        pieces.push_back(bytes.substr(at, length));
        at += length;
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string file = ScratchPath("upsombx.conf");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    WriteFileBytes(file.c_str(), bytes);

    std::int32_t waitTime = kDefaultWaitTime;
    bool waitTimeFound = false;
    std::vector<std::string> programs;
    bool inSkippedLine = false;
    for (const std::string& piece : Pieces(bytes)) {
        const bool continuesSkipped = inSkippedLine;
        inSkippedLine = piece.back() != '\n' && (continuesSkipped || piece[0] == '#' || piece[0] == '_');
        if (continuesSkipped)
            continue;
        // What the reader sees of a piece ends at its first NUL.
        std::string text = piece.c_str();
        const std::size_t prefix = sizeof kWaitTimePrefix - 1;
        if (!waitTimeFound && text.compare(0, prefix, kWaitTimePrefix) == 0) {
            waitTime = Atol(text.substr(prefix));
            waitTimeFound = true;
        }
        if (text[0] == '#' || text[0] == '_')
            continue;
        if (text.size() > 1 && text.back() == '\n')
            text.pop_back();
        programs.push_back(text);
    }
    FUZZ_CHECK(ReadWaitTime(file.c_str()) == waitTime);

    // Exactly the capacity, so that a line stored past it is caught.
    std::unique_ptr<ProgramLine[]> lines(new ProgramLine[kCapacity]);
    const int count = ReadProgramLines(file.c_str(), lines.get(), kCapacity);
    FUZZ_CHECK(count == static_cast<int>(std::min<std::size_t>(programs.size(), kCapacity)));
    for (int k = 0; k < count; ++k) {
        char programText[kProgramTextSize];
        std::int32_t waitMs = 0;
        ParseProgramLine(programs[k].c_str(), programText, &waitMs);
        FUZZ_CHECK(std::strcmp(lines[k].programText, programText) == 0);
        FUZZ_CHECK(lines[k].waitMs == waitMs);
    }
    return 0;
}
