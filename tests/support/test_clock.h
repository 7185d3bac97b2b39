#pragma once
#include <cstdint>

// The system millisecond tick the library reads when it makes a handle.
uint32_t test_tick_count();
