#pragma once
// The number and arrival time of the frame a camera delivered last, written by the thread
// that delivers frames and read by any thread (a window procedure handling the frame's
// message) without a lock: a version count, odd while a write is under way, lets a reader
// see both fields of one frame or try again.
#include <atomic>
#include <cstdint>
#include <thread>

namespace imvela {

class LatestFrame {
public:
    // One writer at a time (the worker, or the thread taking a snapshot).
    void set(uint32_t sequence, uint64_t arrival_us) {
        // The odd count first (no field store moves above it), each field released after it,
        // so a reader that sees a new field also sees the count changed.
        const uint32_t v = version_.fetch_add(1, std::memory_order_acq_rel);
        sequence_.store(sequence, std::memory_order_release);
        arrival_low_.store(static_cast<uint32_t>(arrival_us), std::memory_order_release);
        arrival_high_.store(static_cast<uint32_t>(arrival_us >> 32), std::memory_order_release);
        version_.store(v + 2, std::memory_order_release);
    }

    // false before the first frame, or (never in practice) when writes kept overtaking the
    // read for as long as it tried.
    bool get(uint32_t* sequence, uint64_t* arrival_us) const {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const uint32_t before = version_.load(std::memory_order_acquire);
            if (before == 0) return false;
            if ((before & 1) == 0) {
                // Acquired: the count is read again after the fields, never before.
                const uint32_t s = sequence_.load(std::memory_order_acquire);
                const uint64_t a = uint64_t{arrival_high_.load(std::memory_order_acquire)} << 32 |
                                   arrival_low_.load(std::memory_order_acquire);
                if (version_.load(std::memory_order_relaxed) == before) {
                    *sequence = s;
                    *arrival_us = a;
                    return true;
                }
            }
            std::this_thread::yield();
        }
        return false;
    }

private:
    static constexpr int kAttempts = 10000;
    std::atomic<uint32_t> version_{0};
    std::atomic<uint32_t> sequence_{0};
    std::atomic<uint32_t> arrival_low_{0};
    std::atomic<uint32_t> arrival_high_{0};
};

}  // namespace imvela
