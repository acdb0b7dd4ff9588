#include "common/path_split.h"

#include "common/dbcs.h"

#include <cstring>

int DriveAndDirectory(const char* path, char* destination, std::size_t destinationSize)
{
    if (destinationSize == 0)
        return -1;
    std::size_t end = 0;  // bytes of drive and directory
    if (path[0] != '\0' && path[1] == ':' && !IsLeadByte(static_cast<unsigned char>(path[0])))
        end = 2;
    for (std::size_t at = 0; path[at] != '\0'; at += CharacterLength(path + at))
        if (path[at] == '\\' || path[at] == '/')
            end = at + 1;
    if (end >= destinationSize) {
        destination[0] = '\0';
        return -1;
    }
    std::memcpy(destination, path, end);
    destination[end] = '\0';
    return 0;
}
