#pragma once
// What the process holds now, for the soak run's flatness checks.
#include <cstdint>

struct ProcessUsage {
    int64_t resident_bytes = -1;  // resident memory; -1 when the system will not say
    int64_t open_handles = -1;    // open descriptors (POSIX) or handles (Windows); -1 likewise
};

ProcessUsage current_process_usage();
