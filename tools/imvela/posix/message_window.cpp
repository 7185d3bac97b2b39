#include "message_window.h"

MessageWindow::MessageWindow() : handle_(ImvelaMsg_CreateQueue()) {}

MessageWindow::~MessageWindow() { ImvelaMsg_DestroyQueue(handle_); }

bool MessageWindow::next(ToolMessage* out, uint32_t timeout_ms) {
    ImvelaMsg m;
    if (!ImvelaMsg_Get(handle_, timeout_ms, &m)) return false;
    *out = ToolMessage{m.message, m.wParam, m.lParam};
    return true;
}
