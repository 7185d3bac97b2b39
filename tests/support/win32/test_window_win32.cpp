#include <windows.h>

#include "support/test_window.h"

TestWindow::TestWindow() {
    handle_ = CreateWindowExA(0, "STATIC", "imvela test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    if (handle_) DestroyWindow(handle_);
}

bool TestWindow::next(PostedMessage* out, uint32_t timeout_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, handle_, 0, 0, PM_REMOVE)) {
            *out = PostedMessage{msg.message, static_cast<uintptr_t>(msg.wParam), static_cast<intptr_t>(msg.lParam)};
            return true;
        }
        if (GetTickCount() - start >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
}
