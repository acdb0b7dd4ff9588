#pragma once

#include "serial/exchange.h"
#include "serial/serial_port.h"

#include <cstdio>

// One run of the tool: the command line, the port, the exchange and what
// is printed. The port is opened here and left to its owner to close.
// Returns the exit status: 0 after an answer or "no answer.", 1 usage,
// 2 illegal argument, 3 port cannot be opened.
int RunSerovox(int argc, char* const argv[], SerialPort& port, const Tick& tick, std::FILE* out,
               std::FILE* err);
