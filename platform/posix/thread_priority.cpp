#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace imvela::platform {

void raise_current_thread_priority() {
    // On Linux the nice value is per thread; lowering it needs privileges, so a refusal is
    // the normal case for an unprivileged process.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, tid);
    (void)setpriority(PRIO_PROCESS, tid, current - 2);
}

}  // namespace imvela::platform
