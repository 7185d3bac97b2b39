#pragma once
// A window the tests pass to the library and read posted messages from: a message queue on
// POSIX, a message-only window owned by the creating thread on Windows.
#include <cstdint>
#include <vector>

#include "ImvelaSdk.h"

struct PostedMessage {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return handle_; }
    // The oldest message posted to the window, waiting up to timeout_ms; false when none came.
    bool next(PostedMessage* out, uint32_t timeout_ms);
    // Every message that arrives within timeout_ms of the last one (for at most 10 s).
    std::vector<PostedMessage> drain(uint32_t timeout_ms = 50);

private:
    HWND handle_ = nullptr;
};
