#include "platform/clock.h"

#include <windows.h>

namespace imvela::platform {

uint32_t tick_count() { return GetTickCount(); }

uint64_t monotonic_microseconds() {
    static const uint64_t frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? static_cast<uint64_t>(f.QuadPart) : 1000u;
    }();
    LARGE_INTEGER now;
    if (!QueryPerformanceCounter(&now)) return uint64_t{GetTickCount()} * 1000u;
    const uint64_t count = static_cast<uint64_t>(now.QuadPart);
    // Whole seconds and the rest apart, so the product cannot overflow.
    return count / frequency * 1000000u + count % frequency * 1000000u / frequency;
}

int64_t unix_seconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;  // 100 ns since 1601
    return static_cast<int64_t>(ticks / 10000000u) - 11644473600LL;
}

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
