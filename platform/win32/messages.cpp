#include <windows.h>

#include "platform/messages.h"

namespace imvela::platform {

void post_message(HWND window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    PostMessageA(window, message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
}

}  // namespace imvela::platform
