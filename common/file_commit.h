#pragma once

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

// The error of the last failed system call on this thread (GetLastError
// on Windows, errno elsewhere), so that a caller can report why a rewrite
// failed after the cleanup that followed it.
unsigned long LastSystemError();
void SetLastSystemError(unsigned long error);
