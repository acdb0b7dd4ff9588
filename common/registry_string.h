#pragma once

#include <windows.h>

// Registry values read as strings; the value's type is not looked at (type,
// when given, receives it). Stored data need not end in a zero byte: one is
// added. False, with destination empty, when the key or value is missing
// or does not fit (a longer value counts as missing).

// The value of an open key: at most limit bytes as stored, into a buffer
// of size bytes (limit <= size) that must also hold the added zero byte.
bool QueryRegistryString(HKEY key, const char* value, char* destination, DWORD size, DWORD limit,
                         DWORD* type = nullptr);

// The value of a key opened for reading and closed before it returns: at
// most size bytes, its terminating zero included.
bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, char* destination,
                        DWORD size, DWORD* type = nullptr);
