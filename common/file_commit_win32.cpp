#include "common/file_commit.h"

#include <windows.h>

#include <io.h>

int CommitStream(std::FILE* stream)
{
    return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0 ? 1 : 0;
}

int MoveOver(const char* source, const char* target)
{
    // A read-only file is the administrator's word that it stays as it is.
    // NTFS refuses to replace one anyway; other file systems and network
    // redirectors need not, so it is asked here.
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return 0;
    // The runtime's rename refuses an existing target; this replaces it
    // and returns only once the move is on the disk.
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}
