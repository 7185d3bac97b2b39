#include "platform/clock.h"

#include <windows.h>

namespace imvela::platform {

uint32_t tick_count() { return GetTickCount(); }

void sleep_milliseconds(int32_t milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace imvela::platform
