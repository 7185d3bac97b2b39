// Frame rates of the streaming loop with take-newest + extract against the emulated camera
// running unpaced, the emulator's own cost per frame, and a plain memcpy of a frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "device/driver_channel.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "emulator/emulated_driver.h"

using namespace imvela;

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

void use_emulator() {
    emulator::Settings s;
    s.cameras = {0};
    s.camera.fps = 0;
    s.camera.scene = emulator::Scene::kBars;
    emulator::emulated_driver().fix_settings(s);
}

void BM_StreamTakeExtract(benchmark::State& state) {
    use_emulator();
    const int32_t two_byte = static_cast<int32_t>(state.range(0));
    CImvelaM61XZKRSdk device(emulator::emulated_driver());
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * (two_byte ? 2 : 1));
    if (!device.set_sample_width(two_byte) || device.set_window(6, 8, kWidth, kHeight, 0) != 0 ||
        device.start_streaming() != 0) {
        state.SkipWithError("stream did not start");
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) {
        int32_t r;
        while ((r = device.take_newest_frame()) == kTakeArrived) {
        }
        if (r != kTakeReady || device.extract_taken_frame(out.data()) != 0) {
            state.SkipWithError("stream stopped");
            break;
        }
        benchmark::DoNotOptimize(out.data());
        ++frames;
    }
    static_cast<void>(device.stop_streaming());  // the loop's faults showed as skipped frames
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(frames * static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_StreamTakeExtract)->Arg(0)->Arg(1)->ArgName("two_byte")->UseRealTime()->Unit(benchmark::kMillisecond);

// The emulated camera answering one frame request into a buffer: its own CPU cost.
void BM_EmulatorFrame(benchmark::State& state) {
    use_emulator();
    const int32_t two_byte = static_cast<int32_t>(state.range(0));
    CImvelaM61XZKRSdk device(emulator::emulated_driver());
    if (!device.set_sample_width(two_byte) || device.set_window(6, 8, kWidth, kHeight, 0) != 0) {
        state.SkipWithError("window not programmed");
        return;
    }
    DriverHandle h;
    open_device_file(emulator::emulated_driver(), device.device_path(), &h);
    std::vector<uint8_t> frame(static_cast<size_t>(device.frame_bytes()));
    const driver::Record request = driver::command(driver::CMD_REQUEST_FRAME);
    for (auto _ : state) {
        send_command(h, request, driver::kSelector0);
        uint32_t moved = 0;
        standard_transfer(h, driver::kPipeImage, static_cast<uint32_t>(frame.size()), frame.data(), &moved, 1);
        if (moved != frame.size()) {
            state.SkipWithError("short frame");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    close_device_file(&h);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_EmulatorFrame)->Arg(0)->Arg(1)->ArgName("two_byte")->Unit(benchmark::kMicrosecond);

// The floor: one memcpy of a frame of the same size.
void BM_FrameMemcpy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(kWidth) * kHeight * (state.range(0) ? 2 : 1);
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_FrameMemcpy)->Arg(0)->Arg(1)->ArgName("two_byte")->Unit(benchmark::kMicrosecond);

}  // namespace
