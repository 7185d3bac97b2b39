#include "process_usage.h"

#include <windows.h>
#include <psapi.h>

ProcessUsage current_process_usage() {
    ProcessUsage usage;
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        usage.resident_bytes = static_cast<int64_t>(counters.WorkingSetSize);
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) usage.open_handles = handles;
    return usage;
}
