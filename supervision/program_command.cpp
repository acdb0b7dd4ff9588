#include "supervision/program_command.h"

#include <cstdio>
#include <cstring>

int JoinProgramCommandLine(const char* directory, const char* programText, char* destination,
                           std::size_t destinationSize)
{
    // A blank or tab is never the trail byte of a double-byte character,
    // so plain byte searches are safe in code page 932.
    int length;
    if (std::strchr(directory, ' ') == nullptr) {
        length = std::snprintf(destination, destinationSize, "%s%s", directory, programText);
    } else {
        const std::size_t word = std::strcspn(programText, " \t");
        length = std::snprintf(destination, destinationSize, "\"%s%.*s\"%s", directory,
                               static_cast<int>(word), programText, programText + word);
    }
    if (length < 0 || static_cast<std::size_t>(length) >= destinationSize) {
        if (destinationSize > 0)
            destination[0] = '\0';
        return -1;
    }
    return 0;
}
