#pragma once

#include <windows.h>

// Reads a registry value as a string into size bytes, its terminating
// zero included; the value's type is not looked at. False when the key or
// value is missing or the value with its end does not fit (a longer value
// counts as missing). The key is closed before it returns. When type is
// given, it receives the value's registry type.
bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, char* destination,
                        DWORD size, DWORD* type = nullptr);
