#pragma once
#include <cstdint>

namespace imvela::platform {

// Milliseconds since the system started; wraps around after 49.7 days.
uint32_t tick_count();

// CPU time the calling thread has used, in nanoseconds (as finely as the system counts it).
uint64_t thread_cpu_nanoseconds();

// Pauses the calling thread; nothing for 0 or less.
void sleep_milliseconds(int32_t milliseconds);

}  // namespace imvela::platform
