// End-to-end capture on the emulated camera running unpaced, 1280 x 1024, in every colour
// mode with neutral settings and with every adjustment on (hue and saturation, gamma,
// contrast, sharpness, brightness, continuous white balance, defect correction of 1000
// listed pixels): delivered frames per second and CPU time per frame (BM_CapturePath), beside
// the frame pipeline run on its own (BM_PipelineKernels). The difference is what the capture
// path adds: the ring, the copy into the application's buffer, locking and messages.
//
// CPU time per frame counts the whole process, so it includes the emulated camera rendering
// every frame it streams, also those the worker skips (camera_frames_per_frame of them per
// delivered frame). emulator_ms_per_frame is that share, the CPU time the emulated camera
// counted while rendering during the run; sdk_cpu_ms_per_frame is what remains: the
// library's own CPU time per delivered frame, camera read to the caller's buffer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "camera/frame_pipeline.h"
#include "camera/imvela.h"
#include "emulator/emulated_driver.h"
#include "imaging/band_pool.h"
#include "imaging/color_mode.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_selection.h"
#include "imaging/row_bands.h"
#include "imaging/tone_tables.h"

#ifdef IMVELA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

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

// 1000 listed defective pixels spread over the frame (list coordinates: rows from the
// sensor's bottom), as a file for the camera and as a list for the pipeline alone.
DefectList bench_defects() {
    DefectList list;
    uint32_t seed = 99;
    for (int i = 0; i < 1000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int32_t x = static_cast<int32_t>((seed >> 8) % kWidth);
        seed = seed * 1103515245u + 12345u;
        list.push_back({x, static_cast<int32_t>((seed >> 8) % kHeight)});
    }
    return list;
}

std::string defect_file() {
    static std::string path;
    if (!path.empty()) return path;
    path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/imvela-bench-defects.dat";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        for (const DefectPixel& p : bench_defects()) std::fwrite(&p, sizeof p, 1, f);
        std::fclose(f);
    }
    return path;
}

// Neutral settings, or every adjustment on with continuous white balance and defect correction.
void configure(CImvela& camera, bool adjust) {
    P& filter = camera.filter_values();
    for (const Adjustment& a : kAllOn) filter[a.position] = a.position == P::kGamma ? 100 : 0;
    filter[P::kGrayMode] = 0;
    filter[P::kAutoColorGain] = 0;
    filter[P::kAutoColorGainOneShot1] = filter[P::kAutoColorGainOneShot2] = 0;
    camera.set_config_filter(0);
    if (!adjust) return;
    for (const Adjustment& a : kAllOn) filter[a.position] = a.value;
    filter[P::kAutoColorGain] = 1;
    camera.load_config_file(defect_file().c_str());
    camera.set_config_filter(1);
}

double process_cpu_seconds();

// CPU milliseconds the emulated cameras 0 .. count - 1 have spent rendering frames so far.
double emulator_render_ms(int32_t count) {
    uint64_t ns = 0;
    for (int32_t i = 0; i < count; ++i) ns += emulator::emulated_driver().camera(i)->render_cpu_nanoseconds();
    return static_cast<double>(ns) / 1e6;
}

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

// The process's CPU milliseconds per iteration since `cpu0`, every thread counted.
void count_cpu_per_frame(benchmark::State& state, double cpu0) {
    state.counters["cpu_ms_per_frame"] =
        (process_cpu_seconds() - cpu0) * 1000.0 / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

// Random bytes for a raw frame from `seed` (which moves on); 16-bit samples stay within 12 bits.
void fill_raw(CImageBuffer& raw, uint32_t& seed) {
    const bool wide = raw.bits_per_pixel() == 16;
    for (size_t i = 0; i < raw.size_bytes(); ++i) {
        seed = seed * 1103515245u + 12345u;
        raw.bits()[i] = static_cast<uint8_t>(wide && (i & 1) ? (seed >> 24) & 0x0F : seed >> 24);
    }
}

// Keeps the shared band pool running with at most `threads` threads for one benchmark, and
// gives back the limit it found.
class PoolThreadLimit {
public:
    explicit PoolThreadLimit(int32_t threads) : before_(BandPool::shared().threads()) {
        BandPool::shared().set_thread_limit(threads);
    }
    ~PoolThreadLimit() { BandPool::shared().set_thread_limit(before_); }
    PoolThreadLimit(const PoolThreadLimit&) = delete;
    PoolThreadLimit& operator=(const PoolThreadLimit&) = delete;

private:
    const BandPool::Lease workers_;  // made before the limit is read
    const int32_t before_;
};

void BM_CapturePath(benchmark::State& state) {
    private_environment();
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool adjust = state.range(1) != 0;
    const int32_t top_down = static_cast<int32_t>(state.range(2));
    CImvela camera;
    camera.initialize(nullptr);
    camera.set_preview_window(nullptr, 0, 0, 0, 0);
    camera.set_color_mode(kColorModeBits[mode]);
    camera.set_wait_time(0);
    configure(camera, adjust);

    HWND queue = ImvelaMsg_CreateQueue();
    std::vector<uint8_t> buffer(static_cast<size_t>(image_stride(kWidth, kColorModeBits[mode])) * kHeight);
    if (!camera.callback_preview(queue, buffer.data(), static_cast<int32_t>(buffer.size()), top_down)) {
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
    const double render0 = emulator_render_ms(1);
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
    const double emulator_ms = emulator_render_ms(1) - render0;
    camera.stop_preview();
    ImvelaMsg_DestroyQueue(queue);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames ? cpu * 1000.0 / static_cast<double>(frames) : 0.0;
    // Frames the emulated camera rendered per delivered frame, and their CPU time, which is
    // taken out of the library's.
    const double per_frame = frames ? 1.0 / static_cast<double>(frames) : 0.0;
    state.counters["camera_frames_per_frame"] = static_cast<double>(streamed) * per_frame;
    state.counters["emulator_ms_per_frame"] = emulator_ms * per_frame;
    state.counters["sdk_cpu_ms_per_frame"] = (cpu * 1000.0 - emulator_ms) * per_frame;
}

// The camera paced at its own 30 frames per second, one or two cameras streaming at once, for
// two seconds: frames each camera delivered per second (fps) against the frames it sent
// (sent_fps, 30), the process's CPU time per delivered frame and in total (cpu_share: 1.0 is
// one core busy), and per delivered frame the emulated camera's share and the library's own.
void BM_PacedCapture(benchmark::State& state) {
    private_environment();
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool adjust = state.range(1) != 0;
    const int32_t count = static_cast<int32_t>(state.range(2));
    const int32_t top_down = static_cast<int32_t>(state.range(3));
    emulator::Settings paced = emulator::emulated_driver().settings();
    emulator::Settings unpaced = paced;
    paced.cameras = {0, 1};
    paced.camera.fps = 30;
    emulator::emulated_driver().fix_settings(paced);
    struct Stream {
        CImvela camera;
        std::vector<uint8_t> buffer;
        int64_t frames = 0;
    };
    // One queue for all cameras, told apart by their frame records: the bench sleeps until a
    // message comes instead of polling each camera's queue, which would count as the
    // library's CPU time.
    HWND queue = ImvelaMsg_CreateQueue();
    std::vector<std::unique_ptr<Stream>> streams;
    for (int32_t i = 0; i < count; ++i) {
        auto s = std::make_unique<Stream>();
        s->camera.initialize(nullptr);
        s->camera.set_device_number(i);
        s->camera.set_preview_window(nullptr, 0, 0, 0, 0);
        s->camera.set_color_mode(kColorModeBits[mode]);
        s->camera.set_wait_time(0);
        configure(s->camera, adjust);
        s->buffer.resize(static_cast<size_t>(image_stride(kWidth, kColorModeBits[mode])) * kHeight);
        if (!s->camera.callback_preview(queue, s->buffer.data(), static_cast<int32_t>(s->buffer.size()), top_down))
            state.SkipWithError("preview did not start");
        streams.push_back(std::move(s));
    }
    // Frames that arrived until `until`, taken from each camera's queue in turn.
    const auto drain = [&](std::chrono::steady_clock::time_point until) {
        for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
            ImvelaMsg m;
            if (!ImvelaMsg_Get(queue, static_cast<uint32_t>(left), &m) || m.message != WM_CAMERA_FRAME || m.lParam != 0)
                continue;
            for (auto& s : streams)
                if (m.wParam == reinterpret_cast<uintptr_t>(&s->camera.frame_record())) ++s->frames;
        }
    };
    for (auto _ : state) {
        drain(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));  // warm up
        for (auto& s : streams) s->frames = 0;
        int32_t sent0 = 0;
        for (int32_t i = 0; i < count; ++i) sent0 += emulator::emulated_driver().camera(i)->frame_count();
        const double render0 = emulator_render_ms(count);
        const double cpu0 = process_cpu_seconds();
        const auto t0 = std::chrono::steady_clock::now();
        drain(t0 + std::chrono::seconds(2));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = process_cpu_seconds() - cpu0;
        const double emulator_cpu_ms = emulator_render_ms(count) - render0;
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
        // The emulated cameras' share (every frame they sent), and the library's own CPU
        // time per delivered frame without it.
        state.counters["emulator_ms_per_frame"] = frames ? emulator_cpu_ms / static_cast<double>(frames) : 0.0;
        state.counters["sdk_cpu_ms_per_frame"] =
            frames ? (cpu * 1000.0 - emulator_cpu_ms) / static_cast<double>(frames) : 0.0;
    }
    for (auto& s : streams) s->camera.stop_preview();
    streams.clear();
    ImvelaMsg_DestroyQueue(queue);
    emulator::emulated_driver().fix_settings(unpaced);
}

// The frame pipeline alone (FramePipeline::process, as the camera runs it) on a random raw
// frame, with the shared pool limited to `bands` threads (1: one thread). cpu_ms_per_frame
// counts every thread of the process.
void BM_PipelineKernels(benchmark::State& state) {
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool adjust = state.range(1) != 0;
    const int32_t bands = static_cast<int32_t>(state.range(2));
    const PoolThreadLimit limit(bands);
    CImageBuffer raw, out, colour, work;
    raw.Create(kWidth, kHeight, color_mode_raw_bits(mode));
    out.Create(kWidth, kHeight, kColorModeBits[mode]);
    work.CreateLike(mode <= 1 ? &raw : &out);
    uint32_t seed = 12345;
    fill_raw(raw, seed);
    FramePipeline pipeline;
    pipeline.replace_defects(bench_defects());
    FrameBuffers buffers{&raw, mode <= 1 ? &raw : &out, nullptr, &work};
    CaptureWindow window;
    window.h_start = 6;
    window.v_start = 8;
    FrameSettings settings;
    settings.filter[P::kGamma] = 100;
    if (adjust) {
        for (const Adjustment& a : kAllOn) settings.filter[a.position] = a.value;
        settings.filter[P::kAutoColorGain] = 1;
        settings.defect_correction = true;
    }
    const double cpu0 = process_cpu_seconds();
    for (auto _ : state) {
        FrameSettings frame = settings;
        pipeline.process(frame, buffers, mode, window);
        benchmark::DoNotOptimize(out.bits());
        benchmark::ClobberMemory();
    }
    count_cpu_per_frame(state, cpu0);
}

// The demosaic of a delivered frame as the capture path meets it, one thread: the raw frame
// and the buffer it is delivered into are out of the caches (eight of each in turn, more than
// the last-level cache holds), as a frame the camera has just written and the application's
// buffer are. Ours (0) runs the frame pipeline with neutral settings in colour mode 2 as the
// camera does; OpenCV's bare Bayer-to-BGR conversion (1) beside it. The kernel benchmarks
// give both on data that stays in the caches.
void BM_ColdFrameDemosaic(benchmark::State& state) {
    constexpr int kFrames = 8;
    const bool opencv = state.range(0) != 0;
    uint32_t seed = 777;
    const PoolThreadLimit limit(1);
    CImageBuffer raw[kFrames], out[kFrames];
    for (int i = 0; i < kFrames; ++i) {
        raw[i].Create(kWidth, kHeight, 8);
        out[i].Create(kWidth, kHeight, 24);
        fill_raw(raw[i], seed);
    }
    FramePipeline pipeline;
    CaptureWindow window;
    FrameSettings neutral;
    neutral.filter[P::kGamma] = 100;
#ifdef IMVELA_BENCH_OPENCV
    cv::setNumThreads(1);
    cv::Mat cv_raw[kFrames], cv_out[kFrames];
    for (int i = 0; i < kFrames; ++i) {
        cv_raw[i] = cv::Mat(kHeight, kWidth, CV_8UC1, raw[i].bits(), static_cast<size_t>(raw[i].stride()));
        cv_out[i] = cv::Mat(kHeight, kWidth, CV_8UC3, out[i].bits(), static_cast<size_t>(out[i].stride()));
    }
#else
    if (opencv) state.SkipWithError("built without OpenCV");
#endif
    int i = 0;
    const double cpu0 = process_cpu_seconds();
    for (auto _ : state) {
        i = i + 1 == kFrames ? 0 : i + 1;
        if (!opencv) {
            FrameSettings frame = neutral;
            FrameBuffers buffers{&raw[i], &out[i], nullptr, nullptr};
            pipeline.process(frame, buffers, 2, window);
        }
#ifdef IMVELA_BENCH_OPENCV
        else {
            cv::cvtColor(cv_raw[i], cv_out[i], cv::COLOR_BayerGB2BGR);
        }
#endif
        benchmark::ClobberMemory();
    }
    count_cpu_per_frame(state, cpu0);
}

// A delivered frame with neutral settings as the capture path makes it, one thread, raw frames
// and the application's buffers out of the caches (eight of each in turn): processed into the
// library's output image and copied into the application's buffer in the order top_down
// asks for (in_place 0), or processed straight into that buffer (in_place 1) as the capture
// engine does when it may.
void BM_ColdFrameDelivery(benchmark::State& state) {
    constexpr int kFrames = 8;
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const bool top_down = state.range(1) != 0, in_place = state.range(2) != 0;
    const PoolThreadLimit limit(1);
    const int32_t raw_bits = color_mode_raw_bits(mode), bits = kColorModeBits[mode];
    CImageBuffer raw[kFrames], out, view;
    std::vector<uint8_t> delivered[kFrames];
    uint32_t seed = 31;
    out.Create(kWidth, kHeight, bits);
    for (int i = 0; i < kFrames; ++i) {
        raw[i].Create(kWidth, kHeight, raw_bits);
        fill_raw(raw[i], seed);
        delivered[i].assign(out.size_bytes(), 0xA5);
    }
    const size_t stride = static_cast<size_t>(out.stride());
    FramePipeline pipeline;
    CaptureWindow window;
    FrameSettings neutral;
    neutral.filter[P::kGamma] = 100;
    int i = 0;
    const double cpu0 = process_cpu_seconds();
    for (auto _ : state) {
        i = i + 1 == kFrames ? 0 : i + 1;
        FrameSettings frame = neutral;
        uint8_t* to = delivered[i].data();
        if (in_place) {
            if (top_down)
                view.View(to, kWidth, kHeight, bits, out.stride());
            else
                view.ViewReversed(to, kWidth, kHeight, bits, out.stride());
            FrameBuffers buffers{&raw[i], &view, nullptr, nullptr, true};
            pipeline.process(frame, buffers, mode, window);
        } else {
            FrameBuffers buffers{&raw[i], &out, nullptr, nullptr};
            pipeline.process(frame, buffers, mode, window);
            if (top_down)
                std::memcpy(to, out.bits(), out.size_bytes());
            else
                for (int32_t r = 0; r < kHeight; ++r)
                    std::memcpy(to + r * stride, out.bits() + (kHeight - 1 - r) * stride, stride);
        }
        benchmark::ClobberMemory();
    }
    count_cpu_per_frame(state, cpu0);
}

// Rows delivered in the image's own order (top_down 1) for every mode, and top row first
// (top_down 0) for the colour modes.
void modes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "adjust", "top_down"});
    for (int top_down : {1, 0})
        for (int adjust = 0; adjust < 2; ++adjust)
            for (int mode = top_down ? 0 : 2; mode < kColorModeCount; ++mode) b->Args({mode, adjust, top_down});
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
    ->ArgNames({"mode", "adjust", "cameras", "top_down"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}, {1, 2}, {1, 0}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ColdFrameDemosaic)->ArgName("opencv")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColdFrameDelivery)
    ->ArgNames({"mode", "top_down", "in_place"})
    ->ArgsProduct({{2, 3, 4, 5}, {1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineKernels)->Apply(modes_and_bands)->UseRealTime()->Unit(benchmark::kMillisecond);
