#pragma once

#include <cstddef>

// The drive and directory of a path, ending in its last backslash or
// slash, as splitting the path into drive, directory, name and extension
// and joining the first two gives them. Separators inside double-byte
// characters do not count. A path without a directory gives its drive
// alone ("C:"), or the empty string.
// 0 on success; -1, with destination the empty string, when the result
// would not fit in destinationSize bytes with its terminating zero.
int DriveAndDirectory(const char* path, char* destination, std::size_t destinationSize);
