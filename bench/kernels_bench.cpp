// Kernel speed on a 1280 x 1024 frame, one thread, beside the OpenCV operation that does the
// same job. Compare each BM_<kernel> with its BM_OpenCV_<operation> counterpart.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"

#ifdef IMVELA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace imvela;

namespace {

constexpr int kWidth = 1280, kHeight = 1024;

void fill(CImageBuffer& b, uint32_t seed, uint32_t maxValue) {
    std::mt19937 rng(seed);
    const bool words = b.bits_per_pixel() == 16 || b.bits_per_pixel() >= 48;
    for (size_t i = 0; i < b.size_bytes(); i += words ? 2 : 1) {
        const uint32_t v = rng() % (maxValue + 1);
        if (words) {
            const uint16_t w = static_cast<uint16_t>(v);
            std::memcpy(b.bits() + i, &w, 2);
        } else {
            b.bits()[i] = static_cast<uint8_t>(v);
        }
    }
}

struct Frames {
    CImageBuffer raw8, raw16, bgr24, bgr32, bgr48, work24, out24, out8, out48;
    Frames() {
        raw8.Create(kWidth, kHeight, 8);
        raw16.Create(kWidth, kHeight, 16);
        bgr24.Create(kWidth, kHeight, 24);
        bgr32.Create(kWidth, kHeight, 32);
        bgr48.Create(kWidth, kHeight, 48);
        work24.Create(kWidth, kHeight, 24);
        out24.Create(kWidth, kHeight, 24);
        out8.Create(kWidth, kHeight, 8);
        out48.Create(kWidth, kHeight, 48);
        fill(raw8, 1, 255);
        fill(raw16, 2, 4095);
        fill(bgr24, 3, 255);
        fill(bgr32, 4, 255);
        fill(bgr48, 5, 4095);
        std::memcpy(work24.bits(), bgr24.bits(), bgr24.size_bytes());
    }
};

Frames& frames() {
    static Frames f;
    return f;
}

void demosaic(benchmark::State& state, CImageBuffer& out, CImageBuffer& raw, PixelKernel inner, PixelKernel border) {
    DemosaicBlock block{0, 120, 100, 90};
    for (auto _ : state) {
        out.Apply(inner, raw, nullptr, 0, 0, &block);
        out.Apply(border, raw, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}

void BM_DemosaicBayer8(benchmark::State& s) { demosaic(s, frames().out24, frames().raw8, DemosaicBayer8, DemosaicBayerBorder8); }
void BM_DemosaicBayer16(benchmark::State& s) {
    demosaic(s, frames().out48, frames().raw16, DemosaicBayer16, DemosaicBayerBorder16);
}
BENCHMARK(BM_DemosaicBayer8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemosaicBayer16)->Unit(benchmark::kMillisecond);

// In-place adjustments of the 24-bit colour frame.
void adjust(benchmark::State& state, PixelKernel kernel, int32_t value) {
    AdjustmentBlock block{value, 12};
    CImageBuffer& b = frames().bgr24;
    for (auto _ : state) {
        b.Apply(kernel, b, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}
void BM_AdjustGammaColor8(benchmark::State& s) { adjust(s, AdjustGammaColor8, 150); }
void BM_AdjustContrastColor8(benchmark::State& s) { adjust(s, AdjustContrastColor8, 40); }
void BM_AdjustBrightnessColor8(benchmark::State& s) { adjust(s, AdjustBrightnessColor8, 60); }
BENCHMARK(BM_AdjustGammaColor8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdjustContrastColor8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdjustBrightnessColor8)->Unit(benchmark::kMillisecond);

void BM_SharpenColor8(benchmark::State& state) {
    AdjustmentBlock block{15, 12};
    for (auto _ : state) {
        frames().out24.Apply(SharpenColor8, frames().work24, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SharpenColor8)->Unit(benchmark::kMillisecond);

void BM_AdjustHueSaturation8(benchmark::State& state) {
    HueBlock block{40, 60, 12};
    for (auto _ : state) {
        frames().out24.Apply(AdjustHueSaturation8, frames().bgr24, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AdjustHueSaturation8)->Unit(benchmark::kMillisecond);

void convert(benchmark::State& state, CImageBuffer& out, CImageBuffer& in, PixelKernel kernel) {
    for (auto _ : state) {
        out.Apply(kernel, in, nullptr, 0, 0, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size_bytes()));
}
void BM_FlipRows24(benchmark::State& s) { convert(s, frames().out24, frames().bgr24, FlipRows); }
void BM_FlipRows24From32(benchmark::State& s) { convert(s, frames().out24, frames().bgr32, FlipRows24); }
void BM_Drop32To24(benchmark::State& s) { convert(s, frames().out24, frames().bgr32, Drop32To24); }
void BM_Shift16To8(benchmark::State& s) { convert(s, frames().out8, frames().raw16, Shift16To8); }
void BM_ReduceMono16Flip10(benchmark::State& s) { convert(s, frames().out8, frames().raw16, ReduceMono16Flip10); }
void BM_Shift48To24(benchmark::State& s) { convert(s, frames().out24, frames().bgr48, Shift48To24); }
void BM_ExpandColor48SwapBy4(benchmark::State& s) { convert(s, frames().out48, frames().bgr48, ExpandColor48SwapBy4); }
void BM_SwapRedBlue24(benchmark::State& s) { convert(s, frames().out24, frames().bgr24, SwapRedBlue24); }
BENCHMARK(BM_FlipRows24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipRows24From32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Drop32To24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shift16To8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceMono16Flip10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shift48To24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandColor48SwapBy4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwapRedBlue24)->Unit(benchmark::kMillisecond);

void BM_RepadRows8(benchmark::State& state) {
    CImageBuffer b;
    b.Create(1283, kHeight, 8);  // stride 1284: every row moves
    for (auto _ : state) {
        b.Apply(RepadRows8, b, nullptr, 0, 0, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.size_bytes()));
}
BENCHMARK(BM_RepadRows8)->Unit(benchmark::kMillisecond);

void memcpy_bytes(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> a(bytes, 1), b(bytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
void BM_Memcpy24(benchmark::State& s) { memcpy_bytes(s, static_cast<size_t>(kWidth) * 3 * kHeight); }
void BM_Memcpy8(benchmark::State& s) { memcpy_bytes(s, static_cast<size_t>(kWidth) * kHeight); }
void BM_Memcpy48(benchmark::State& s) { memcpy_bytes(s, static_cast<size_t>(kWidth) * 6 * kHeight); }
BENCHMARK(BM_Memcpy24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy48)->Unit(benchmark::kMillisecond);

#ifdef IMVELA_BENCH_OPENCV
struct CvFrames {
    cv::Mat raw8, raw16, bgr, out, hsv, blurred, lut;
    CvFrames() {
        cv::setNumThreads(1);
        raw8 = cv::Mat(kHeight, kWidth, CV_8UC1);
        raw16 = cv::Mat(kHeight, kWidth, CV_16UC1);
        cv::randu(raw8, 0, 256);
        cv::randu(raw16, 0, 4096);
        bgr = cv::Mat(kHeight, kWidth, CV_8UC3);
        cv::randu(bgr, 0, 256);
        lut = cv::Mat(1, 256, CV_8U);
        for (int i = 0; i < 256; ++i) lut.at<uint8_t>(i) = static_cast<uint8_t>(255 - i);
    }
};
CvFrames& cv_frames() {
    static CvFrames f;
    return f;
}

void BM_OpenCV_Bayer8(benchmark::State& state) {
    for (auto _ : state) cv::cvtColor(cv_frames().raw8, cv_frames().out, cv::COLOR_BayerGB2BGR);
}
void BM_OpenCV_Bayer16(benchmark::State& state) {
    for (auto _ : state) cv::cvtColor(cv_frames().raw16, cv_frames().out, cv::COLOR_BayerGB2BGR);
}
void BM_OpenCV_LUT(benchmark::State& state) {
    for (auto _ : state) cv::LUT(cv_frames().bgr, cv_frames().lut, cv_frames().out);
}
void BM_OpenCV_ConvertToScale(benchmark::State& state) {
    for (auto _ : state) cv_frames().bgr.convertTo(cv_frames().out, -1, 1.2);
}
void BM_OpenCV_BlurAddWeighted(benchmark::State& state) {
    for (auto _ : state) {
        cv::blur(cv_frames().bgr, cv_frames().blurred, cv::Size(4, 4));
        cv::addWeighted(cv_frames().bgr, 2.5, cv_frames().blurred, -1.5, 0, cv_frames().out);
    }
}
void BM_OpenCV_HsvRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        cv::cvtColor(cv_frames().bgr, cv_frames().hsv, cv::COLOR_BGR2HSV);
        cv::cvtColor(cv_frames().hsv, cv_frames().out, cv::COLOR_HSV2BGR);
    }
}
BENCHMARK(BM_OpenCV_Bayer8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_Bayer16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_LUT)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_ConvertToScale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_BlurAddWeighted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_HsvRoundTrip)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
