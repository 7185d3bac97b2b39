#include "console.h"

#include <time.h>
#include <unistd.h>

bool output_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

bool enable_line_clearing() { return true; }

double process_cpu_seconds() {
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
