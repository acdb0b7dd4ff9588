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

namespace {

// Gives source the attributes and security descriptor of target. 1, 0 on
// failure, -1 when target is gone.
int TakeOverLook(const char* source, const char* target)
{
    const DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return -1;
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
    return SetFileAttributesA(source, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL) ? 1 : 0;
}

std::uint64_t Ticks(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool StillTheFileRead(HANDLE file, const FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information))
        return false;
    const std::uint64_t size =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size != identity.size || Ticks(information.ftLastWriteTime) != identity.writeTime)
        return false;
    FileIdentity now;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr))
            return false;
        if (got == 0)
            break;
        AddToIdentity(&now, chunk, got);
    }
    return now.size == identity.size && now.hash == identity.hash;
}

}  // namespace

int MoveOverKeeping(const char* source, const char* target)
{
    // A target that is gone leaves nothing to keep.
    return TakeOverLook(source, target) != 0 ? MoveOver(source, target) : 0;
}

std::uint64_t StreamWriteTime(std::FILE* stream)
{
    FILETIME written = {};
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return file != INVALID_HANDLE_VALUE && GetFileTime(file, nullptr, nullptr, &written)
               ? Ticks(written)
               : 0;
}

int MoveOverIfUnchanged(const char* source, const char* target, const FileIdentity& identity)
{
    // The slow part before writers are held off.
    const int taken = TakeOverLook(source, target);
    if (taken != 1)
        return taken;
    // Without write sharing, no writer gets in from here to the check's
    // end; one that has the file open already makes the open fail. Windows
    // replaces no file that is open, so the hold ends just before the move.
    unique_handle file(CreateFileA(target, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND ||
                       error == ERROR_PATH_NOT_FOUND
                   ? -1
                   : 0;
    }
    if (!StillTheFileRead(file.get(), identity))
        return -1;
    file.reset();
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
