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

std::uint64_t StreamWriteTime(std::FILE* stream)
{
    struct stat status;
    if (fstat(fileno(stream), &status) != 0)
        return 0;
    return static_cast<std::uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(status.st_mtim.tv_nsec);
}

// No writer is held off here: the host build only runs the unit tests.
int MoveOverIfUnchanged(const char* source, const char* target, const FileIdentity& identity)
{
    const int file = open(target, O_RDONLY);
    if (file < 0)
        return errno == ENOENT ? -1 : 0;
    struct stat status;
    bool same = fstat(file, &status) == 0 &&
                static_cast<std::uint64_t>(status.st_size) == identity.size &&
                static_cast<std::uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
                        static_cast<std::uint64_t>(status.st_mtim.tv_nsec) ==
                    identity.writeTime;
    FileIdentity now;
    char chunk[65536];
    for (ssize_t got; same && (got = read(file, chunk, sizeof chunk)) != 0;) {
        if (got < 0)
            same = false;
        else
            AddToIdentity(&now, chunk, static_cast<std::size_t>(got));
    }
    close(file);
    if (!same || now.size != identity.size || now.hash != identity.hash)
        return -1;
    return MoveOverKeeping(source, target);
}

unsigned long LastSystemError()
{
    return static_cast<unsigned long>(errno);
}

void SetLastSystemError(unsigned long error)
{
    errno = static_cast<int>(error);
}
