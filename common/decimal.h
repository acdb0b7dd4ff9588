#pragma once

#include <cstdint>

// The decimal value at the start of a text, as the C runtime's atol reads
// it: leading white space skipped, an optional sign, digits up to the
// first other character; no digits give 0. Values beyond 32 bits saturate
// at INT32_MIN and INT32_MAX, as Microsoft's atol does, rather than
// overflowing.
std::int32_t ParseDecimal(const char* text);
