#include "common/file_commit.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int CommitStream(std::FILE* stream)
{
    return std::fflush(stream) == 0 && fsync(fileno(stream)) == 0 ? 1 : 0;
}

int CommitFile(const char* path)
{
    const int file = open(path, O_WRONLY);
    if (file < 0)
        return 0;
    const int synced = fsync(file);
    return close(file) == 0 && synced == 0 ? 1 : 0;
}

int MoveOver(const char* source, const char* target)
{
    return std::rename(source, target) == 0 ? 1 : 0;
}

int MoveOverKeeping(const char* source, const char* target)
{
    struct stat status;
    if (stat(target, &status) == 0 && chmod(source, status.st_mode & 07777) != 0)
        return 0;
    return MoveOver(source, target);
}

unsigned long LastSystemError()
{
    return static_cast<unsigned long>(errno);
}

void SetLastSystemError(unsigned long error)
{
    errno = static_cast<int>(error);
}
