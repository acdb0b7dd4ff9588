#pragma once

#include "common/unique_handle.h"

#include <windows.h>

// The running companion's process, opened for waiting only, or an empty
// owner when MERLOWSP is not running or its process cannot be opened.
// Taken before the previous uninstall script stops the companion: the
// process id is known only while it runs.
unique_handle OpenCompanionProcess();

// Waits until MERLOWSP is stopped or no longer registered and, when one
// was given, its process has ended, so that its merlowsp.exe can be
// replaced; at most until deadlineMs milliseconds of GetTickCount have
// gone by since startMs. Whether it stopped in time is not reported: the
// copy that follows shows it.
void WaitForCompanionStop(const unique_handle& process, DWORD startMs, DWORD deadlineMs);
