#pragma once
// What the stream of one camera object did since its capture last started: frames delivered
// and skipped, and the number and arrival of the last one. One thread writes at a time (the
// worker, or the thread of a snapshot or of the start); anyone reads. Relaxed atomics only:
// counting costs a frame nothing but a few stores.
#include <atomic>
#include <cstdint>

#include "ImvelaSdk.h"

namespace imvela {

struct RecordingCounts;
struct TransferCounters;

class StreamStatistics {
public:
    // A capture starts: every count back to 0, the next frame expected is number 0.
    void restart();
    // A frame of the given number was delivered; the numbers between the last delivered
    // frame and this one were sent by the camera and skipped.
    void delivered(uint32_t sequence, uint64_t arrival_us);
    // The number for a frame read singly (a snapshot, a trigger): one more than the last.
    uint32_t next_single_sequence() const { return expected_.load(std::memory_order_relaxed); }
    // The worker's wait for a frame ran out with the stream still running.
    void timed_out() { timeouts_.fetch_add(1, std::memory_order_relaxed); }

    // Fills the fields of the first version of the record (its size field is left alone).
    void fill(ImvelaStreamStats& out, const TransferCounters& transfers, const RecordingCounts& recording) const;

private:
    std::atomic<uint32_t> delivered_{0};
    std::atomic<uint32_t> skipped_{0};
    std::atomic<uint32_t> timeouts_{0};
    std::atomic<uint32_t> expected_{0};
    std::atomic<uint32_t> last_sequence_{0};
    std::atomic<uint32_t> last_arrival_low_{0};
    std::atomic<uint32_t> last_arrival_high_{0};
};

}  // namespace imvela
