#pragma once
// Waiting for what another thread does, always within a bound: a regression then fails the
// test in seconds instead of hanging the run until the test driver's limit.
#include <chrono>
#include <thread>

// Far above what any wait needs on a loaded machine, also under the sanitizers (a 1 s
// recording there took up to 20 s on a busy 2-core machine); far below the driver's limit.
constexpr int kWaitLimitMs = 30000;

// The end of a bounded wait that a loop checks itself.
class Deadline {
public:
    explicit Deadline(int limit_ms = kWaitLimitMs)
        : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms)) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

// Polls `done` until it is true (returns true) or `limit_ms` passed (returns false).
template <typename Condition>
bool wait_until(Condition done, int limit_ms = kWaitLimitMs) {
    const Deadline deadline(limit_ms);
    for (int polls = 0; !done(); ++polls) {
        if (deadline.passed()) return false;
        // Spin briefly for a quick answer, then sleep so a slow one does not hold a core.
        if (polls < 100)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Reads a history until it answers 0, at most `limit` times: an empty history ends it.
template <typename Read>
int drain_codes(Read read, int limit = 64) {
    int n = 0;
    while (n < limit && read() != 0) ++n;
    return n;
}
