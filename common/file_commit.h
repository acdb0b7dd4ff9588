#pragma once

#include <cstdio>

// The two steps that make a rewrite of a file that must never be lost safe:
// the new text goes to a file of its own, onto the disk, and only then takes
// the old one's name. One implementation per platform.

// Flushes the stream and has the system put its data on the disk. 1 or 0.
int CommitStream(std::FILE* stream);

// Puts the file at source in the place of target, replacing it in one
// step. 1 or 0; after a 0 both are as they were. On Windows a target with
// the read-only attribute is never replaced.
int MoveOver(const char* source, const char* target);
