#pragma once
// The window the tool gives the library for its messages: a message queue on POSIX, a
// message-only window on Windows.
#include <cstdint>

#include "ImvelaSdk.h"

struct ToolMessage {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND handle() const { return handle_; }
    // The next posted message within timeout_ms; false when none came.
    bool next(ToolMessage* out, uint32_t timeout_ms);

private:
    HWND handle_ = nullptr;
};
