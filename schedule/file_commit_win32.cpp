#include "schedule/file_commit.h"

#include <windows.h>

#include <io.h>

int CommitStream(std::FILE* stream)
{
    return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0 ? 1 : 0;
}

int MoveOver(const char* source, const char* target)
{
    // The runtime's rename refuses an existing target; this replaces it
    // and returns only once the move is on the disk.
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}
