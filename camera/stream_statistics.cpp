#include "camera/stream_statistics.h"

#include "camera/recorder.h"
#include "device/transfer_counters.h"

namespace imvela {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}  // namespace

void StreamStatistics::restart() {
    delivered_.store(0, kRelaxed);
    skipped_.store(0, kRelaxed);
    timeouts_.store(0, kRelaxed);
    expected_.store(0, kRelaxed);
    last_sequence_.store(0, kRelaxed);
    last_arrival_low_.store(0, kRelaxed);
    last_arrival_high_.store(0, kRelaxed);
}

void StreamStatistics::delivered(uint32_t sequence, uint64_t arrival_us) {
    const uint32_t expected = expected_.load(kRelaxed);
    // Only this thread writes: plain read-modify-write through relaxed loads and stores.
    if (sequence > expected) skipped_.store(skipped_.load(kRelaxed) + (sequence - expected), kRelaxed);
    expected_.store(sequence + 1, kRelaxed);
    delivered_.store(delivered_.load(kRelaxed) + 1, kRelaxed);
    last_sequence_.store(sequence, kRelaxed);
    last_arrival_low_.store(static_cast<uint32_t>(arrival_us), kRelaxed);
    last_arrival_high_.store(static_cast<uint32_t>(arrival_us >> 32), kRelaxed);
}

void StreamStatistics::fill(ImvelaStreamStats& out, const TransferCounters& transfers,
                            const RecordingCounts& recording) const {
    out.frames_delivered = delivered_.load(kRelaxed);
    out.frames_skipped = skipped_.load(kRelaxed);
    out.transfers_failed = transfers.failed.load(kRelaxed);
    out.transfers_short = transfers.short_transfers.load(kRelaxed);
    out.timeouts = transfers.timeouts.load(kRelaxed) + timeouts_.load(kRelaxed);
    out.unplugs = transfers.unplugs.load(kRelaxed);
    out.frames_recorded = recording.delivered - recording.skipped;
    out.frames_not_recorded = recording.skipped;
    out.last_sequence = last_sequence_.load(kRelaxed);
    out.last_arrival_us = uint64_t{last_arrival_high_.load(kRelaxed)} << 32 | last_arrival_low_.load(kRelaxed);
}

}  // namespace imvela
