#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The two steps that make a rewrite of a file that must never be lost safe:
// the new text goes to a file of its own, onto the disk, and only then takes
// the old one's name. One implementation per platform.

// Flushes the stream and has the system put its data on the disk. 1 or 0.
int CommitStream(std::FILE* stream);

// Has the system put the data of the file at path on the disk. 1 or 0.
int CommitFile(const char* path);

// Puts the file at source in the place of target, replacing it in one
// step. 1 or 0; after a 0 both are as they were. On Windows a target with
// the read-only attribute is never replaced.
int MoveOver(const char* source, const char* target);

// MoveOver for a file that is rewritten in place of itself: the target's
// attributes and security descriptor (owner, group, DACL) are first given
// to source, as a rename would otherwise give the file those of the new
// one, made with the folder's defaults. 1 or 0; after a 0 target is as it
// was (a volume that keeps no security is not a failure).
int MoveOverKeeping(const char* source, const char* target);

// What a file was when it was read: its size, its last write time and a
// hash (FNV-1a) of its bytes, so that a rewrite can tell whether anybody
// wrote to it since.
struct FileIdentity {
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;
    std::uint64_t hash = 14695981039346656037ull;
};

inline void AddToIdentity(FileIdentity* identity, const char* bytes, std::size_t length)
{
    std::uint64_t hash = identity->hash;
    for (std::size_t k = 0; k < length; ++k)
        hash = (hash ^ static_cast<unsigned char>(bytes[k])) * 1099511628211ull;
    identity->hash = hash;
    identity->size += length;
}

// The last write time of an open stream's file, in the system's units; 0
// when it cannot be had.
std::uint64_t StreamWriteTime(std::FILE* stream);

// MoveOverKeeping, but only while target is still the file read: same
// size, last write time and bytes as identity. The check reads target
// through a handle that keeps writers out, held up to the move itself. 1
// moved; 0 failed; -1 target changed, is gone or is being written (nothing
// moved, both as they were).
int MoveOverIfUnchanged(const char* source, const char* target, const FileIdentity& identity);

// The error of the last failed system call on this thread (GetLastError
// on Windows, errno elsewhere), so that a caller can report why a rewrite
// failed after the cleanup that followed it.
unsigned long LastSystemError();
void SetLastSystemError(unsigned long error);
