#include "platform/clock.h"

#include <windows.h>

namespace imvela::platform {

uint32_t tick_count() { return GetTickCount(); }

uint64_t thread_cpu_nanoseconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    const auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) * 100u;  // 100 ns units
}

void sleep_milliseconds(int32_t milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace imvela::platform
