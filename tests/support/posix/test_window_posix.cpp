#include "support/test_window.h"

TestWindow::TestWindow() : handle_(ImvelaMsg_CreateQueue()) {}

TestWindow::~TestWindow() { ImvelaMsg_DestroyQueue(handle_); }

bool TestWindow::next(PostedMessage* out, uint32_t timeout_ms) {
    ImvelaMsg m{};
    if (!ImvelaMsg_Get(handle_, timeout_ms, &m)) return false;
    *out = PostedMessage{m.message, m.wParam, m.lParam};
    return true;
}
