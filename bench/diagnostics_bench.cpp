// What the diagnostics cost a frame: a debug-log statement whose category is off (the only
// form on a frame's path, and only where a frame fails), the same statement written to a
// file for contrast, and the per-frame counting of the stream's statistics and the last
// frame's number. Compare with BM_CapturePath's milliseconds per frame.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "camera/latest_frame.h"
#include "camera/stream_statistics.h"
#include "platform/debug_log.h"

namespace {

void BM_LogStatementOff(benchmark::State& state) {
    imvela::debug_log::configure(nullptr, nullptr);
    int32_t frame = 0;
    for (auto _ : state) {
        IMVELA_LOG(capture, debug, "frame %d delivered", frame);
        benchmark::DoNotOptimize(++frame);
    }
}
BENCHMARK(BM_LogStatementOff);

void BM_LogStatementWritten(benchmark::State& state) {
#if defined(_WIN32)
    const char* sink = "NUL";
#else
    const char* sink = "/dev/null";
#endif
    if (!imvela::debug_log::configure("capture", sink)) {
        state.SkipWithError("no sink");
        return;
    }
    int32_t frame = 0;
    for (auto _ : state) {
        IMVELA_LOG(capture, debug, "frame %d delivered", frame);
        benchmark::DoNotOptimize(++frame);
    }
    imvela::debug_log::configure(nullptr, nullptr);
}
BENCHMARK(BM_LogStatementWritten);

void BM_FrameCounting(benchmark::State& state) {
    imvela::StreamStatistics statistics;
    imvela::LatestFrame latest;
    uint32_t sequence = 0;
    uint64_t arrival = 0;
    for (auto _ : state) {
        statistics.delivered(sequence, arrival);
        latest.set(sequence, arrival);
        sequence += 2;  // every other frame skipped
        arrival += 33333;
    }
    benchmark::DoNotOptimize(statistics);
}
BENCHMARK(BM_FrameCounting);

}  // namespace
