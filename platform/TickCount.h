#pragma once

#include <cstdint>

namespace platform {

// Milliseconds from a monotonic clock, wrapping at 2^32 like the waits expect.
uint32_t GetTickCount();

// Sleeps the calling thread.
void Sleep(uint32_t milliseconds);

}  // namespace platform
