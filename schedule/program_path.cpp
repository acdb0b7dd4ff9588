#include "schedule/program_path.h"

#include <cstring>

namespace {

// Paths are in the system code page, 932 on the machines this runs on,
// where the second byte of a character can be 0x5C, the backslash.
bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length of the drive and directory, as the runtime's path splitter
// divides a path: "X:" and everything up to the last "\" or "/".
std::size_t DirectoryLength(const char* path)
{
    std::size_t length = (path[0] != '\0' && path[1] == ':') ? 2 : 0;
    for (std::size_t at = length; path[at] != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(path[at]);
        if (IsLeadByte(c)) {
            if (path[at + 1] == '\0')
                break;
            ++at;
        } else if (c == '\\' || c == '/') {
            length = at + 1;
        }
    }
    return length;
}

}  // namespace

int ProgramFilePath(char* output, std::size_t size, const char* modulePath, const char* fileName)
{
    if (size == 0)
        return 0;
    const std::size_t directory = DirectoryLength(modulePath);
    const std::size_t name = std::strlen(fileName);
    if (directory + name + 1 > size) {
        output[0] = '\0';
        return 0;
    }
    std::memcpy(output, modulePath, directory);
    std::memcpy(output + directory, fileName, name + 1);
    return 1;
}
