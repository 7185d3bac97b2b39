#include "process_usage.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>

ProcessUsage current_process_usage() {
    ProcessUsage usage;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        long long total = 0, resident = 0;
        if (std::fscanf(f, "%lld %lld", &total, &resident) == 2) usage.resident_bytes = resident * sysconf(_SC_PAGESIZE);
        std::fclose(f);
    }
    if (DIR* dir = opendir("/proc/self/fd")) {
        int64_t count = 0;
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
        usage.open_handles = count - 1;  // the listing's own descriptor
    }
    return usage;
}
