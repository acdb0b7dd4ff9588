#pragma once

#include "serial/serial_port.h"

#include <cstddef>
#include <functional>

// Room for an answer of 127 bytes and its terminating NUL.
inline constexpr std::size_t kAnswerSize = 128;

// One tick of a listening window; 100 ms on the real port.
using Tick = std::function<void()>;

// Sends the command (its text up to the NUL) and listens in windows of 21
// ticks, sending it again after each silent window, four sends at most.
// Once a received character is noticed the window ends 11 ticks later and
// what the port has buffered by then is the answer. Returns 1 with the
// answer NUL-terminated and one final carriage return removed, or 0 when
// the fourth window has passed in silence (the answer then empty). An
// event wait may still be outstanding on return.
int Exchange(SerialPort& port, const char* command, const Tick& tick, char (&answer)[kAnswerSize]);
