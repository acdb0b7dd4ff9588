#pragma once

#include "common/unique_handle.h"
#include "supervision/startup_config.h"

#include <windows.h>

// One started program line of upsombx.conf. Its process stays open until
// the companion closes its programs at stop; empty after a failed start.
struct ChildProcess {
    unique_process process;
    LONG waitMs = 0;  // milliseconds to wait once all are started, or kNoWait
};

inline constexpr int kChildCapacity = 64;
