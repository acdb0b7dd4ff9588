#pragma once

#include "common/service_config.h"

#include <cstddef>

// Dependency lists as the SCM hands them in lpDependencies: entries ended
// by a zero byte each, the whole ended by one more; an empty list is a lone
// zero byte. Entries are opaque bytes, compared exactly (case matters).
//
// The source is read only within sourceSize bytes and the destination
// written only within destinationSize. A list that is not ended within its
// bytes, or holds an entry longer than kDependencyEntryMax, is not edited.

inline constexpr std::size_t kDependencyEntryMax = 259;

enum DependencyMode { DEPEND_ADD = 1, DEPEND_REMOVE = 2 };

// 0 when the name is already listed (destination untouched); 1 after
// writing the list with the name appended. Also 0, destination untouched,
// when the source is malformed or the new list would not fit.
int AddToDependencyList(const char* source, std::size_t sourceSize, char* destination,
                        std::size_t destinationSize, const char* name);

// 1 when the name was found: the destination holds the list without any of
// its occurrences. 0 when it was not found, the list is empty or malformed,
// or the destination is too small.
int RemoveFromDependencyList(const char* source, std::size_t sourceSize, char* destination,
                             std::size_t destinationSize, const char* name);
