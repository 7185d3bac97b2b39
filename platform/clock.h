#pragma once
#include <cstdint>

namespace imvela::platform {

// Milliseconds since the system started; wraps around after 49.7 days.
uint32_t tick_count();

}  // namespace imvela::platform
