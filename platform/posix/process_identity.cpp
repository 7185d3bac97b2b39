#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process_identity.h"

namespace imvela::platform {

uint32_t current_owner_module() { return static_cast<uint32_t>(getpid()); }

bool owner_module_gone(uint32_t owner_module) {
    const pid_t pid = static_cast<pid_t>(owner_module);
    if (pid <= 0) return false;  // not a process id this library writes; 0 and negatives address groups
    return kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace imvela::platform
