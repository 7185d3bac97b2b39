#include <chrono>

#include "support/test_window.h"

std::vector<PostedMessage> TestWindow::drain(uint32_t timeout_ms) {
    std::vector<PostedMessage> all;
    PostedMessage m{};
    // A sender that never pauses (frames of a running capture) ends the drain after a while.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end && next(&m, timeout_ms)) all.push_back(m);
    return all;
}
