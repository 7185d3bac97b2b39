#include "platform/clock.h"

#include <windows.h>

namespace imvela::platform {

uint32_t tick_count() { return GetTickCount(); }

}  // namespace imvela::platform
