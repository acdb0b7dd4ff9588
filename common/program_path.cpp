#include "common/program_path.h"

#include "common/path_split.h"

#include <cstring>

int ProgramFilePath(char* output, std::size_t size, const char* modulePath, const char* fileName)
{
    if (size == 0)
        return 0;
    // Drive and directory as the path splitter gives them, stepping over
    // double-byte characters whose second byte is 0x5C.
    if (DriveAndDirectory(modulePath, output, size) != 0)
        return 0;
    const std::size_t directory = std::strlen(output);
    const std::size_t name = std::strlen(fileName);
    if (directory + name + 1 > size) {
        output[0] = '\0';
        return 0;
    }
    std::memcpy(output + directory, fileName, name + 1);
    return 1;
}
