#pragma once

#include "supervision/startup_config.h"

#include <windows.h>

// One started program line of upsombx.conf. Both handles stay open until
// the companion closes its programs at stop; null after a failed start.
struct ChildProcess {
    PROCESS_INFORMATION process;
    LONG waitMs;  // milliseconds to wait once all are started, or NO_WAIT
};

inline constexpr LONG NO_WAIT = kNoWait;
inline constexpr int kChildCapacity = 64;
