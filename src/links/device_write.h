#pragma once
// Bounded writes to a non-blocking device: the 20 ms tick must never hang on a stalled port.

#include <chrono>
#include <cstddef>

#include "links/serial_port.h"

namespace tolvex {

inline constexpr std::chrono::milliseconds WriteTimeLimit{1000};

// Errors after which the device will never take another byte (adapter pulled, pty hung up).
bool MeansDeviceGone(int error);

// Writes all bytes, polling for room until the limit; TimedOut leaves the rest unsent.
WriteResult WriteWithin(int fd, const char* bytes, std::size_t length, std::chrono::milliseconds limit);

}  // namespace tolvex
