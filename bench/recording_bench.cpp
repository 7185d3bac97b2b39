// Recording at 1280 x 1024 x 24 bits:
//   recording_write_rate    sustained AVI write rate of the writer (OpenCV's writer of raw
//                           frames in AVI beside it)
//   recording_lock_hold     what the recorder does under the frame lock per frame: the copy of
//                           the output image into its own buffer, per depth (OpenCV's copy of
//                           the same 24-bit image beside it)
//   recording_conversion    the 24-bit frame made from that copy, outside the lock
//   recording_30s           a 30 s recording at 30 fps through the exports: camera frames,
//                           frames the preview delivered meanwhile, recorded frames and the
//                           delivered frames the recorder had no room for
//   recording_60s           opt-in (IMVELA_BENCH_LONG_RECORDING=1): a 60 s recording of about
//                           7 GB, checked with ffprobe
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"
#include "files/avi_writer.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"

#if IMVELA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#endif

namespace {

constexpr int32_t kWidth = 1280, kHeight = 1024;

std::string scratch_path(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/imvela-bench-" + std::to_string(getpid()) + "-" + name;
}

void recording_write_rate(benchmark::State& state) {
    const std::string path = scratch_path("write.avi");
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 3, 0x5A);
    if (state.range(0) == 0) {
        imvela::CAviWriter writer;
        writer.SetFormat(kWidth, kHeight);
        if (!writer.Open(path.c_str(), 1000)) return state.SkipWithError("file not created");
        for (auto _ : state)
            if (!writer.WriteFrame(frame.data())) state.SkipWithError("write failed");
        writer.SetRate(3000);
        writer.Finish();
    } else {
#if IMVELA_BENCH_OPENCV
        cv::VideoWriter writer(path, cv::CAP_FFMPEG, 0, 30.0, cv::Size(kWidth, kHeight));
        if (!writer.isOpened()) return state.SkipWithError("OpenCV writes no raw AVI here");
        const cv::Mat image(kHeight, kWidth, CV_8UC3, frame.data());
        for (auto _ : state) writer.write(image);
#else
        state.SkipWithError("built without OpenCV");
#endif
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(recording_write_rate)->ArgNames({"opencv"})->Arg(0)->Arg(1)->Iterations(150)->Unit(benchmark::kMillisecond)->UseRealTime();

void recording_lock_hold(benchmark::State& state) {
    const int32_t bits = static_cast<int32_t>(state.range(0));
    imvela::CImageBuffer out, copy;
    out.Create(kWidth, kHeight, bits);
    copy.CreateLike(&out);
    for (auto _ : state) {
        std::memcpy(copy.bits(), out.bits(), out.size_bytes());
        benchmark::DoNotOptimize(copy.bits());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size_bytes()));
}
BENCHMARK(recording_lock_hold)->ArgNames({"bits"})->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Arg(48)->Arg(64)->Unit(benchmark::kMicrosecond);

#if IMVELA_BENCH_OPENCV
void recording_lock_hold_opencv_copy24(benchmark::State& state) {
    const cv::Mat out(kHeight, kWidth, CV_8UC3, cv::Scalar(1, 2, 3));
    cv::Mat copy(kHeight, kWidth, CV_8UC3);
    for (auto _ : state) {
        out.copyTo(copy);
        benchmark::DoNotOptimize(copy.data);
    }
}
BENCHMARK(recording_lock_hold_opencv_copy24)->Unit(benchmark::kMicrosecond);
#endif

// The recorder's work outside the lock: the 24-bit frame made from the copy, per depth.
void recording_conversion(benchmark::State& state) {
    const int32_t bits = static_cast<int32_t>(state.range(0));
    imvela::CImageBuffer copy, a, b, c;
    copy.Create(kWidth, kHeight, bits);
    a.Create(kWidth, kHeight, 24);
    b.Create(kWidth, kHeight, 24);
    c.Create(kWidth, kHeight, 8);
    for (auto _ : state) {
        switch (bits) {
            case 8: a.BlitFrom(copy, nullptr, 0, 0), b.Apply(imvela::FlipRows24, a, nullptr, 0, 0, nullptr); break;
            case 16: c.Apply(imvela::ReduceMono16Flip12, copy, nullptr, 0, 0, nullptr), a.BlitFrom(c, nullptr, 0, 0); break;
            case 48: case 64: b.Apply(imvela::ReduceColor16Flip12, copy, nullptr, 0, 0, nullptr); break;
            default: a.Apply(imvela::FlipRows24, copy, nullptr, 0, 0, nullptr); break;
        }
        benchmark::DoNotOptimize(a.bits());
        benchmark::DoNotOptimize(b.bits());
    }
}
BENCHMARK(recording_conversion)->ArgNames({"bits"})->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Arg(48)->Arg(64)->Unit(benchmark::kMicrosecond);

uint32_t header_field(const std::string& path, std::streamoff at) {
    std::ifstream in(path, std::ios::binary);
    unsigned char b[4] = {};
    in.seekg(at);
    in.read(reinterpret_cast<char*>(b), 4);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

// Records `seconds` at 30 fps and 24 bits, windowless, and reports what the camera sent
// against what the file holds.
void record_through_exports(benchmark::State& state, int seconds, bool probe) {
    setenv("IMVELA_EMULATOR", "0", 1);
    setenv("IMVELA_EMULATOR_FPS", "30", 1);
    const std::string path = scratch_path("recording.avi");
    const int32_t handle = Imvela_Initialize(nullptr);
    if (!handle) return state.SkipWithError("no camera");
    Imvela_SetColorMode(handle, 24);
    Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    for (auto _ : state) {
        const int32_t camera_start = ImvelaEmu_FrameCount(0);
        if (Imvela_Record(handle, path.c_str(), static_cast<uint32_t>(seconds) * 1000, 0) != 1) {
            state.SkipWithError("recording did not start");
            break;
        }
        // The camera frames of the recording's span: from its first frame to its end.
        std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 1000 + 500));
        const int32_t camera_frames = ImvelaEmu_FrameCount(0) - camera_start;
        Imvela_StopPreview(handle);
        const uint32_t recorded = header_field(path, 140);
        const imvela::RecordingCounts counts = imvela::find_camera(handle)->recording_counts();
        state.counters["camera_frames"] = camera_frames;
        state.counters["delivered_frames"] = counts.delivered;
        state.counters["skipped_by_recorder"] = counts.skipped;
        state.counters["recorded_frames"] = recorded;
        state.counters["measured_fps"] = 1e7 / header_field(path, 128);
        if (probe) {
            const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                        "stream=nb_read_frames -of csv=p=0 '" + path + "'";
            FILE* pipe = popen(command.c_str(), "r");
            long played = -1;
            if (pipe && std::fscanf(pipe, "%ld", &played) != 1) played = -1;
            if (pipe) pclose(pipe);
            state.counters["ffprobe_frames"] = static_cast<double>(played);
            if (played != static_cast<long>(recorded)) state.SkipWithError("ffprobe counts other frames");
        }
    }
    Imvela_Release(handle);
    std::remove(path.c_str());
}

void recording_30s(benchmark::State& state) { record_through_exports(state, 30, false); }
BENCHMARK(recording_30s)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void recording_60s(benchmark::State& state) { record_through_exports(state, 60, true); }
const bool long_recording_registered = [] {
    const char* on = std::getenv("IMVELA_BENCH_LONG_RECORDING");
    if (on && *on == '1') benchmark::RegisterBenchmark("recording_60s", recording_60s)->Iterations(1)->UseRealTime();
    return true;
}();

}  // namespace
