#pragma once
#include <cstdint>

namespace imvela::platform {

// Milliseconds since the system started; wraps around after 49.7 days.
uint32_t tick_count();

// Microseconds on the system's monotonic clock (not set back, unrelated to the date); the
// same clock in every thread and process of the machine.
uint64_t monotonic_microseconds();

// Seconds since 1970 UTC.
int64_t unix_seconds();

// CPU time the calling thread has used, in nanoseconds (as finely as the system counts it).
uint64_t thread_cpu_nanoseconds();

// Pauses the calling thread; nothing for 0 or less.
void sleep_milliseconds(int32_t milliseconds);

}  // namespace imvela::platform
