#include "common/text_file.h"

#include <cstdio>
#include <cstring>

int WriteTextFile(const char* path, const char* text)
{
    FILE* file = std::fopen(path, "w");
    if (file == nullptr)
        return -1;
    const size_t length = std::strlen(text);
    const bool written = std::fwrite(text, 1, length, file) == length;
    // A failed close can lose buffered data, so it counts as a failed write.
    const bool closed = std::fclose(file) == 0;
    return written && closed ? 0 : -1;
}
