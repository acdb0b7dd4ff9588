#include "common/file_commit.h"

#include <unistd.h>

int CommitStream(std::FILE* stream)
{
    return std::fflush(stream) == 0 && fsync(fileno(stream)) == 0 ? 1 : 0;
}

int MoveOver(const char* source, const char* target)
{
    return std::rename(source, target) == 0 ? 1 : 0;
}
