#include <windows.h>

#include "message_window.h"

MessageWindow::MessageWindow() {
    handle_ = CreateWindowExA(0, "STATIC", "imvela", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
}

MessageWindow::~MessageWindow() {
    if (handle_) DestroyWindow(handle_);
}

bool MessageWindow::next(ToolMessage* out, uint32_t timeout_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        if (PeekMessageA(&m, handle_, 0, 0, PM_REMOVE)) {
            *out = ToolMessage{m.message, static_cast<uintptr_t>(m.wParam), static_cast<intptr_t>(m.lParam)};
            return true;
        }
        const DWORD waited = GetTickCount() - start;
        if (waited >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms - waited, QS_POSTMESSAGE);
    }
}
