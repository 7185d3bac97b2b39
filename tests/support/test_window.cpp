#include "support/test_window.h"

std::vector<PostedMessage> TestWindow::drain(uint32_t timeout_ms) {
    std::vector<PostedMessage> all;
    PostedMessage m{};
    while (next(&m, timeout_ms)) all.push_back(m);
    return all;
}
