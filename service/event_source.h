#pragma once

#include <windows.h>

// The companion's event source "MERLOWSP" under the System log. Its
// registry entry points the event viewer to the executable's own message
// table.

// 1 when the source's key could be created or opened (its two values are
// then written, their results ignored), else 0.
int InstallEventSource(const char* source, const char* messageFile);

// 1 when the source's key was deleted, else 0.
int RemoveEventSource(const char* source);

// Reports one event under the source "MERLOWSP", opening and closing the
// source around it. 0 when the source cannot be opened, else 1. The
// event's own outcome is not looked at.
int ReportServiceEvent(WORD type, DWORD eventId, WORD stringCount, DWORD dataSize,
                       const char** strings, void* data);
