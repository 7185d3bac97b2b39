// End-to-end capture on the emulated camera running unpaced, 1280 x 1024, in every colour
// mode with neutral settings and with every adjustment on: delivered frames per second and
// CPU time per frame (BM_CapturePath), beside the same pipeline's kernels run on their own
// (BM_PipelineKernels). The difference is what the capture path adds: extraction from the
// ring, the copy into the application's buffer, locking and messages.
//
// CPU time per frame counts the whole process, so it includes the emulated camera rendering
// every frame it streams, also those the worker skips (camera_frames_per_frame of them per
// delivered frame; BM_EmulatorFrame is the cost of one).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "emulator/emulated_driver.h"
#include "imaging/band_pool.h"
#include "imaging/color_mode.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_selection.h"
#include "imaging/row_bands.h"
#include "imaging/tone_tables.h"

namespace imvela {

// The bench reaches the camera object the way the white-box tests do.
struct CImvelaTestAccess {
    static void windowless(CImvela& c) { c.preview_rect_ = PreviewRect{}; }
    static ImageProcessingBlock& filter(CImvela& c) { return c.filter_; }
};

}  // namespace imvela

using namespace imvela;
using P = ImageProcessingBlock;

namespace {

constexpr int32_t kWidth = 1280, kHeight = 1024;

struct Adjustment {
    int position;
    int32_t value;
};
constexpr Adjustment kAllOn[] = {{P::kHue, 30},      {P::kSaturation, 40}, {P::kGamma, 150},
                                 {P::kContrast, 10}, {P::kSharpness, 5},   {P::kBrightness, -20}};

void private_environment() {
    static bool done = false;
    if (done) return;
    done = true;
    // Keep the bench away from the user's settings and device-use table.
    const std::string home = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/imvela-bench";
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    setenv("IMVELA_SHM_NAME", "ImvelaBenchTable", 1);
    emulator::Settings s;
    s.cameras = {0};
    s.camera.fps = 0;
    s.camera.scene = emulator::Scene::kBars;
    emulator::emulated_driver().fix_settings(s);
}

double process_cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void BM_CapturePath(benchmark::State& state) {
    private_environment();
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool adjust = state.range(1) != 0;
    CImvela camera;
    camera.initialize(nullptr);
    CImvelaTestAccess::windowless(camera);
    camera.set_color_mode(kColorModeBits[mode]);
    camera.set_wait_time(0);
    P& filter = CImvelaTestAccess::filter(camera);
    for (const Adjustment& a : kAllOn) filter[a.position] = a.position == P::kGamma ? 100 : 0;
    filter[P::kGrayMode] = 0;
    filter[P::kAutoColorGain] = 0;
    if (adjust)
        for (const Adjustment& a : kAllOn) filter[a.position] = a.value;

    HWND queue = ImvelaMsg_CreateQueue();
    std::vector<uint8_t> buffer(static_cast<size_t>(image_stride(kWidth, kColorModeBits[mode])) * kHeight);
    if (!camera.callback_preview(queue, buffer.data(), static_cast<int32_t>(buffer.size()), 1)) {
        state.SkipWithError("preview did not start");
        ImvelaMsg_DestroyQueue(queue);
        return;
    }
    auto next_frame = [&] {
        ImvelaMsg m;
        while (ImvelaMsg_Get(queue, 10000, &m))
            if (m.message == WM_CAMERA_FRAME) return m.lParam == 0;
        return false;
    };
    for (int i = 0; i < 3; ++i) next_frame();  // warm up

    int64_t frames = 0;
    const int32_t camera0 = emulator::emulated_driver().camera(0)->frame_count();
    const double cpu0 = process_cpu_seconds();
    for (auto _ : state) {
        if (!next_frame()) {
            state.SkipWithError("no frame");
            break;
        }
        ++frames;
    }
    const double cpu = process_cpu_seconds() - cpu0;
    const int32_t streamed = emulator::emulated_driver().camera(0)->frame_count() - camera0;
    camera.stop_preview();
    ImvelaMsg_DestroyQueue(queue);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames ? cpu * 1000.0 / static_cast<double>(frames) : 0.0;
    // Frames the emulated camera rendered per delivered frame (BM_EmulatorFrame gives the cost
    // of one), so its share of the CPU time can be taken out.
    state.counters["camera_frames_per_frame"] = frames ? static_cast<double>(streamed) / static_cast<double>(frames) : 0.0;
}

// The camera paced at its own 30 frames per second, one or two cameras streaming at once, for
// two seconds: frames each camera delivered per second (fps, the camera sends 30) and the
// process's CPU time per delivered frame and in total (cpu_share: 1.0 is one core busy).
void BM_PacedCapture(benchmark::State& state) {
    private_environment();
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool adjust = state.range(1) != 0;
    const int32_t count = static_cast<int32_t>(state.range(2));
    emulator::Settings paced = emulator::emulated_driver().settings();
    emulator::Settings unpaced = paced;
    paced.cameras = {0, 1};
    paced.camera.fps = 30;
    emulator::emulated_driver().fix_settings(paced);
    struct Stream {
        CImvela camera;
        HWND queue = nullptr;
        std::vector<uint8_t> buffer;
        int64_t frames = 0;
    };
    std::vector<std::unique_ptr<Stream>> streams;
    for (int32_t i = 0; i < count; ++i) {
        auto s = std::make_unique<Stream>();
        s->camera.initialize(nullptr);
        s->camera.set_device_number(i);
        CImvelaTestAccess::windowless(s->camera);
        s->camera.set_color_mode(kColorModeBits[mode]);
        s->camera.set_wait_time(0);
        P& filter = CImvelaTestAccess::filter(s->camera);
        for (const Adjustment& a : kAllOn) filter[a.position] = a.position == P::kGamma ? 100 : 0;
        filter[P::kGrayMode] = 0;
        filter[P::kAutoColorGain] = 0;
        if (adjust)
            for (const Adjustment& a : kAllOn) filter[a.position] = a.value;
        s->queue = ImvelaMsg_CreateQueue();
        s->buffer.resize(static_cast<size_t>(image_stride(kWidth, kColorModeBits[mode])) * kHeight);
        if (!s->camera.callback_preview(s->queue, s->buffer.data(), static_cast<int32_t>(s->buffer.size()), 1))
            state.SkipWithError("preview did not start");
        streams.push_back(std::move(s));
    }
    // Frames that arrived until `until`, taken from each camera's queue in turn.
    const auto drain = [&](std::chrono::steady_clock::time_point until) {
        while (std::chrono::steady_clock::now() < until)
            for (auto& s : streams) {
                ImvelaMsg m;
                while (ImvelaMsg_Get(s->queue, 5, &m))
                    if (m.message == WM_CAMERA_FRAME && m.lParam == 0) ++s->frames;
            }
    };
    for (auto _ : state) {
        drain(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));  // warm up
        for (auto& s : streams) s->frames = 0;
        int32_t sent0 = 0;
        for (int32_t i = 0; i < count; ++i) sent0 += emulator::emulated_driver().camera(i)->frame_count();
        const double cpu0 = process_cpu_seconds();
        const auto t0 = std::chrono::steady_clock::now();
        drain(t0 + std::chrono::seconds(2));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = process_cpu_seconds() - cpu0;
        int64_t frames = 0;
        for (auto& s : streams) frames += s->frames;
        int32_t sent = -sent0;
        for (int32_t i = 0; i < count; ++i) sent += emulator::emulated_driver().camera(i)->frame_count();
        state.counters["fps"] = static_cast<double>(frames) / count / seconds;
        // Frames each emulated camera sent per second: below 30 the transfer, not the
        // pipeline, held the stream back.
        state.counters["sent_fps"] = static_cast<double>(sent) / count / seconds;
        state.counters["cpu_ms_per_frame"] = frames ? cpu * 1000.0 / static_cast<double>(frames) : 0.0;
        state.counters["cpu_share"] = cpu / seconds;
    }
    for (auto& s : streams) {
        s->camera.stop_preview();
        ImvelaMsg_DestroyQueue(s->queue);
    }
    streams.clear();
    emulator::emulated_driver().fix_settings(unpaced);
}

// The kernels process_frame runs for the mode, on buffers of the same size, nothing else, as
// process_frame runs them: in row bands (argument `bands`: 1 is one thread), gamma and
// contrast as one table, sharpness on the image itself. cpu_ms_per_frame counts every thread of the process.
void BM_PipelineKernels(benchmark::State& state) {
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool adjust = state.range(1) != 0;
    const int32_t bands = static_cast<int32_t>(state.range(2));
    const BandPool::Lease workers;
    CImageBuffer raw, out;
    raw.Create(kWidth, kHeight, color_mode_raw_bits(mode));
    out.Create(kWidth, kHeight, kColorModeBits[mode]);
    uint32_t seed = 12345;
    const bool wide = color_mode_raw_bits(mode) == 16;
    for (size_t i = 0; i < raw.size_bytes(); ++i) {
        seed = seed * 1103515245u + 12345u;
        raw.bits()[i] = static_cast<uint8_t>(wide && (i & 1) ? (seed >> 24) & 0x0F : seed >> 24);
    }
    CImageBuffer& o = mode <= 1 ? raw : out;
    const auto in_place = [&](KernelOperation operation, void* block) {
        apply_in_bands(select_kernel(operation, mode), o, o, block, BandShape::Rows, bands);
    };
    const double cpu0 = process_cpu_seconds();
    for (auto _ : state) {
        if (mode >= 2) {
            DemosaicBlock d{3, 100, 100, 100};
            apply_in_bands(select_kernel(KernelOperation::Demosaic, mode), o, raw, &d, BandShape::TwoBelow, bands);
            o.Apply(select_kernel(KernelOperation::DemosaicBorder, mode), raw, nullptr, 0, 0, &d);
        }
        if (adjust) {
            if (mode >= 2) {
                HueBlock h{30, 40, 12};
                in_place(KernelOperation::HueSaturation, &h);
            }
            AdjustmentBlock gamma{150, 12}, contrast{10, 12}, sharp{5, 12}, bright{-20, 12};
            if (color_mode_raw_bits(mode) == 8 && mode != 1) {
                TableBlock table{mode == 0 ? 1 : 3, {}};
                gamma_contrast_table8(gamma.value, contrast.value, mode != 0, table.table);
                apply_in_bands(ApplyTable8, o, o, &table, BandShape::Rows, bands);
            } else {
                Table16Block table{mode == 1 ? 1 : 3, 4096, gamma_contrast_table16(gamma.value, contrast.value, 12)};
                apply_in_bands(ApplyTable16, o, o, &table, BandShape::Rows, bands);
            }
            sharpen_in_bands(o, sharp, mode <= 1 ? 1 : 3, bands);
            in_place(KernelOperation::Brightness, &bright);
        }
        benchmark::DoNotOptimize(o.bits());
        benchmark::ClobberMemory();
    }
    state.counters["cpu_ms_per_frame"] =
        (process_cpu_seconds() - cpu0) * 1000.0 / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

void modes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "adjust"});
    for (int adjust = 0; adjust < 2; ++adjust)
        for (int mode = 0; mode < kColorModeCount; ++mode) b->Args({mode, adjust});
}

void modes_and_bands(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "adjust", "bands"});
    for (int bands : {1, 2})
        for (int adjust = 0; adjust < 2; ++adjust)
            for (int mode = 0; mode < kColorModeCount; ++mode) b->Args({mode, adjust, bands});
}

}  // namespace

BENCHMARK(BM_CapturePath)->Apply(modes)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PacedCapture)
    ->ArgNames({"mode", "adjust", "cameras"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}, {1, 2}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_PipelineKernels)->Apply(modes_and_bands)->UseRealTime()->Unit(benchmark::kMillisecond);
