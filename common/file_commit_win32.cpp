#include "common/file_commit.h"

#include "common/unique_handle.h"

#include <windows.h>

#include <io.h>

#include <vector>

int CommitStream(std::FILE* stream)
{
    return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0 ? 1 : 0;
}

int CommitFile(const char* path)
{
    unique_handle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.get()) ? 1 : 0;
}

int MoveOver(const char* source, const char* target)
{
    // A read-only file is the administrator's word that it stays as it is.
    // NTFS refuses to replace one anyway; other file systems and network
    // redirectors need not, so it is asked here.
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);  // what NTFS answers
        return 0;
    }
    // The runtime's rename refuses an existing target; this replaces it
    // and returns only once the move is on the disk.
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

int MoveOverKeeping(const char* source, const char* target)
{
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MoveOver(source, target);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }

    const SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityA(target, what, nullptr, 0, &needed);
    if (needed != 0) {
        std::vector<char> descriptor(needed);
        if (!GetFileSecurityA(target, what, descriptor.data(), needed, &needed))
            return 0;
        // An owner other than the service's own can need a privilege it
        // does not hold; the group and the DACL are what grant access.
        if (!SetFileSecurityA(source, what, descriptor.data()) &&
            !SetFileSecurityA(source, GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              descriptor.data()) &&
            GetLastError() != ERROR_NOT_SUPPORTED)
            return 0;
    } else if (GetLastError() != ERROR_NOT_SUPPORTED) {
        return 0;
    }

    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                     FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY);
    if (!SetFileAttributesA(source, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL))
        return 0;
    return MoveOver(source, target);
}

unsigned long LastSystemError()
{
    return GetLastError();
}

void SetLastSystemError(unsigned long error)
{
    SetLastError(static_cast<DWORD>(error));
}
