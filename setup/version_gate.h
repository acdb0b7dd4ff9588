#pragma once

#include "setup/version_info.h"

#include <cstdint>

// The fixed part of the version resource with the integer name 1 of an
// executable. False when the file cannot be loaded, has no such resource,
// an empty fixed part, or no signature inside the resource.
bool ReadFixedFileInfo(const char* path, FixedFileInfo* out);

// Whether the file version of path is readable and below limit.
bool IsManagerVersionBelow(const char* path, std::uint32_t limit);

// 1: installed newer, 0: equal, -1: installed older, -2: either version
// unreadable or the selector (kFileVersionPair, kProductVersionPair) unknown.
int CompareVersions(const char* installedPath, const char* newPath, int selector);

// Whether the main flow is to go on; when not, a message has been shown.
// An older installed companion is removed first, and the UPS manager
// service set back to automatic start.
bool CheckVersions(const char* managerProgram, const char* installedCompanion,
                   const char* newCompanion);
