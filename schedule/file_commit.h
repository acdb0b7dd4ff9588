#pragma once

#include <cstdio>

// The two steps that make a rewrite safe, one implementation per platform.

// Flushes the stream and has the system put its data on the disk. 1 or 0.
int CommitStream(std::FILE* stream);

// Puts the file at source in the place of target, replacing it in one
// step. 1 or 0; after a 0 both are as they were.
int MoveOver(const char* source, const char* target);
