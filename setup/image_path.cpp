#include "setup/image_path.h"

#include "common/dbcs.h"
#include "common/path_split.h"

#include <cstring>
#include <vector>

namespace {

bool SameLetters(const char* text, std::size_t length, const char* word)
{
    if (std::strlen(word) != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        char w = word[i];
        if (w >= 'A' && w <= 'Z')
            w = static_cast<char>(w - 'A' + 'a');
        if (c != w)
            return false;
    }
    return true;
}

}  // namespace

int ImagePathProgram(const char* imagePath, char* destination, std::size_t destinationSize)
{
    const char* begin = imagePath;
    std::size_t length = std::strlen(imagePath);
    if (imagePath[0] == '"') {
        begin = imagePath + 1;
        const char* at = begin;
        while (*at != '\0' && *at != '"')
            at += CharacterLength(at);
        length = static_cast<std::size_t>(at - begin);
    }
    if (length >= destinationSize) {
        if (destinationSize > 0)
            destination[0] = '\0';
        return -1;
    }
    std::memcpy(destination, begin, length);
    destination[length] = '\0';
    return 0;
}

int CommandFolder(const char* commandLine, char* destination, std::size_t destinationSize)
{
    // The program is never longer than the command line.
    const std::size_t size = std::strlen(commandLine) + 1;
    std::vector<char> program(size);
    if (ImagePathProgram(commandLine, program.data(), size) != 0) {
        if (destinationSize > 0)
            destination[0] = '\0';
        return -1;
    }
    return DriveAndDirectory(program.data(), destination, destinationSize);
}

void UseNativeProgramFiles(char* value)
{
    static const char* const names[][2] = {{"ProgramFiles", "ProgramW6432"},
                                           {"CommonProgramFiles", "CommonProgramW6432"}};
    // A percent sign is never the trail byte of a double-byte character.
    char* open = std::strchr(value, '%');
    while (open != nullptr) {
        char* close = std::strchr(open + 1, '%');
        if (close == nullptr)
            return;
        const std::size_t length = static_cast<std::size_t>(close - open - 1);
        for (const auto& name : names)
            if (SameLetters(open + 1, length, name[0]))
                std::memcpy(open + 1, name[1], length);
        open = std::strchr(close + 1, '%');
    }
}
