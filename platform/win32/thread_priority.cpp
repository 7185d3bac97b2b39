#include "platform/thread_priority.h"

#include <windows.h>

namespace imvela::platform {

void raise_current_thread_priority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

}  // namespace imvela::platform
