#pragma once
// What went wrong with the frame transfers of one device since the counts were last
// cleared: written by the streaming loop and the single-frame readers, read by anyone.
#include <atomic>
#include <cstdint>

namespace imvela {

struct TransferCounters {
    std::atomic<uint32_t> failed{0};           // a request or transfer the driver failed
    std::atomic<uint32_t> short_transfers{0};  // fewer bytes than a frame
    std::atomic<uint32_t> timeouts{0};         // nothing came within the time allowed
    std::atomic<uint32_t> unplugs{0};          // the camera was gone

    void clear() {
        failed.store(0, std::memory_order_relaxed);
        short_transfers.store(0, std::memory_order_relaxed);
        timeouts.store(0, std::memory_order_relaxed);
        unplugs.store(0, std::memory_order_relaxed);
    }
    static void count(std::atomic<uint32_t>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }
};

// A failed transfer this close to the driver's timeout waited it out (nothing came), where
// one that failed sooner is a fault of the transfer.
constexpr int32_t kTimeoutMarginMs = 500;
inline bool waited_out(uint32_t waited_ms, int32_t timeout_ms) {
    return static_cast<int64_t>(waited_ms) + kTimeoutMarginMs >= timeout_ms;
}

}  // namespace imvela
