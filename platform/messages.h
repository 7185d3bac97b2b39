#pragma once
#include <cstdint>

#include "ImvelaSdk.h"

namespace imvela::platform {

// Posts a message to an application window (a message queue on POSIX) without waiting
// for it to be handled. A lost post (full queue, destroyed window) is ignored.
void post_message(HWND window, uint32_t message, uintptr_t wparam, intptr_t lparam);

}  // namespace imvela::platform
