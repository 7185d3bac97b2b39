// imvela soak [SECONDS [SEED]]: repeats the lifecycles an application goes through and
// streams from the emulated camera while faults are injected, then reports whether memory
// and descriptors stayed flat and whether any stop, close or release took over a second.
//   1. 1000 preview start/stop cycles on one handle;
//   2. 500 initialise/release cycles;
//   3. SECONDS (default 180) of streaming with a random fault (short or failed transfer,
//      stall, unplug) every 2 to 5 s; a stream that stops is stopped and started again.
#include "soak.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "ImvelaSdk.h"
#include "message_window.h"
#include "process_usage.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPreviewCycles = 1000;
constexpr int kInitialiseCycles = 500;
// Usage is compared from this share of a phase on: the first cycles fill caches and pools.
constexpr int kWarmUpDivisor = 10;
// Growth of resident memory still counted as flat (allocator pools, library caches).
constexpr int64_t kResidentSlack = 8 << 20;
constexpr double kSlowCallSeconds = 1.0;

// Times the calls that must never wait on the driver.
struct StopTimes {
    double slowest = 0;
    int slow = 0;
    template <class Call>
    int32_t time(Call&& call) {
        const auto start = Clock::now();
        const int32_t result = call();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (seconds > slowest) slowest = seconds;
        if (seconds > kSlowCallSeconds) ++slow;
        return result;
    }
};

struct Flatness {
    ProcessUsage first, last;
    bool flat() const {
        return last.resident_bytes - first.resident_bytes <= kResidentSlack && last.open_handles <= first.open_handles;
    }
    void print(const char* what, int cycles, const StopTimes& times) const {
        std::printf("%s, %d cycles: resident %.1f -> %.1f MiB, descriptors %lld -> %lld, slowest stop %.0f ms%s\n", what,
                    cycles, first.resident_bytes / 1048576.0, last.resident_bytes / 1048576.0,
                    static_cast<long long>(first.open_handles), static_cast<long long>(last.open_handles),
                    times.slowest * 1000, flat() ? "" : "  NOT FLAT");
    }
};

void drain_errors(int32_t handle, std::map<int32_t, long>* errors) {
    for (int32_t code; (code = Imvela_GetLastError(handle)) != 0;) ++(*errors)[code];
}

bool preview_cycles(StopTimes* times) {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (!handle) return false;
    Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    Flatness usage;
    long failed = 0;
    for (int i = 0; i < kPreviewCycles; ++i) {
        if (i == kPreviewCycles / kWarmUpDivisor) usage.first = current_process_usage();
        if (Imvela_StartPreview(handle) != 1) ++failed;
        times->time([&] { return Imvela_StopPreview(handle); });
    }
    usage.last = current_process_usage();
    Imvela_Release(handle);
    usage.print("preview start/stop", kPreviewCycles, *times);
    if (failed) std::printf("  %ld starts failed\n", failed);
    return usage.flat() && failed == 0;
}

bool initialise_cycles(StopTimes* times) {
    Flatness usage;
    long failed = 0;
    for (int i = 0; i < kInitialiseCycles; ++i) {
        if (i == kInitialiseCycles / kWarmUpDivisor) usage.first = current_process_usage();
        const int32_t handle = Imvela_Initialize(nullptr);
        if (!handle) {
            ++failed;
            continue;
        }
        times->time([&] { return Imvela_Release(handle); });
    }
    usage.last = current_process_usage();
    usage.print("initialise/release", kInitialiseCycles, *times);
    if (failed) std::printf("  %ld initialisations failed\n", failed);
    return usage.flat() && failed == 0;
}

bool streaming_with_faults(long seconds, unsigned seed, StopTimes* times) {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (!handle) return false;
    Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    Imvela_SetColorMode(handle, 8);
    std::vector<uint8_t> image(static_cast<size_t>(1292) * 1040);
    MessageWindow window;
    auto start_stream = [&] {
        return Imvela_CallBackPreview(handle, window.handle(), image.data(), static_cast<int32_t>(image.size()), 0);
    };
    if (start_stream() != 1) {
        std::printf("streaming did not start (error %d)\n", Imvela_GetLastError(handle));
        Imvela_Release(handle);
        return false;
    }
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> fault_kind(1, 4), fault_gap_ms(2000, 5000);
    static const char* const kFaultNames[] = {"", "short transfer", "failed transfer", "stall", "unplug"};
    long injected[5] = {}, frames = 0, restarts = 0, failed_restarts = 0;
    std::map<int32_t, long> errors;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    auto next_fault = Clock::now() + std::chrono::milliseconds(fault_gap_ms(random));
    while (Clock::now() < end) {
        if (Clock::now() >= next_fault) {
            const int kind = fault_kind(random);
            ImvelaEmu_InjectFault(0, kind, 1);
            ++injected[kind];
            next_fault = Clock::now() + std::chrono::milliseconds(fault_gap_ms(random));
        }
        ToolMessage m;
        if (!window.next(&m, 50) || m.message != WM_CAMERA_FRAME) continue;
        if (m.lparam == 0) {
            ++frames;
            continue;
        }
        if (m.lparam != ERR_TIMEOUT) continue;  // recorded too: counted from the history
        // The stream stopped: stop, plug the camera back in if it was pulled, start again.
        times->time([&] { return Imvela_StopPreview(handle); });
        ImvelaEmu_Replug(0);
        drain_errors(handle, &errors);
        ++restarts;
        if (start_stream() != 1) ++failed_restarts;
        drain_errors(handle, &errors);
    }
    times->time([&] { return Imvela_Close(handle); });
    drain_errors(handle, &errors);
    times->time([&] { return Imvela_Release(handle); });

    std::printf("streaming %ld s with a fault every 2-5 s (seed %u): faults", seconds, seed);
    for (int kind = 1; kind <= 4; ++kind) std::printf(" %s %ld%s", kFaultNames[kind], injected[kind], kind < 4 ? "," : "\n");
    std::printf("  frames delivered %ld, restarts after a stopped stream %ld (%ld failed)\n", frames, restarts,
                failed_restarts);
    std::printf("  errors by code:");
    if (errors.empty()) std::printf(" none");
    for (const auto& e : errors) std::printf(" %d: %ld", e.first, e.second);
    std::printf("\n");
    return frames > 0 && failed_restarts == 0;
}

}  // namespace

int soak(int argc, char** argv) {
    long seconds = 180;
    unsigned seed = 1;
    if (argc > 2) seconds = std::strtol(argv[2], nullptr, 10);
    if (argc > 3) seed = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    if (seconds < 1 || seconds > 24 * 3600) {
        std::printf("soak: SECONDS must be 1 to 86400\n");
        return 2;
    }
    StopTimes preview_times, initialise_times, streaming_times;
    const bool previews = preview_cycles(&preview_times);
    const bool initialisations = initialise_cycles(&initialise_times);
    const bool streaming = streaming_with_faults(seconds, seed, &streaming_times);
    const int slow = preview_times.slow + initialise_times.slow + streaming_times.slow;
    std::printf("stops, closes and releases slower than 1 s: %d (slowest while streaming %.0f ms)\n", slow,
                streaming_times.slowest * 1000);
    const bool ok = previews && initialisations && streaming && slow == 0;
    std::printf("soak %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
