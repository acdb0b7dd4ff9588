#pragma once

#include <cstddef>

// The bytes a service's configuration is read into, its strings with it:
// the dependency list among them, and so also the longest list written
// back.
inline constexpr std::size_t kServiceConfigBufferSize = 2048;
