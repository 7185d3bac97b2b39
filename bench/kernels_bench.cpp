// Kernel speed on a 1280 x 1024 frame, one thread, beside the OpenCV operation that does the
// same job. Compare each BM_<kernel> with its BM_OpenCV_<operation> counterpart.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_variant.h"

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
    // tone24 and tone48 are adjusted in place over and over; the other sources stay as filled,
    // so that kernels whose speed depends on the data always see the same random frames.
    CImageBuffer raw8, raw16, bgr24, bgr32, bgr48, bgr64, work24, out24, out8, out48, out64, tone24, tone32, tone48,
        tone64;
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
        bgr64.Create(kWidth, kHeight, 64);
        out64.Create(kWidth, kHeight, 64);
        fill(raw8, 1, 255);
        fill(raw16, 2, 4095);
        fill(bgr24, 3, 255);
        fill(bgr32, 4, 255);
        fill(bgr48, 5, 4095);
        fill(bgr64, 6, 4095);
        std::memcpy(work24.bits(), bgr24.bits(), bgr24.size_bytes());
        tone24.CreateLike(&bgr24);
        tone32.CreateLike(&bgr32);
        tone48.CreateLike(&bgr48);
        tone64.CreateLike(&bgr64);
        std::memcpy(tone24.bits(), bgr24.bits(), bgr24.size_bytes());
        std::memcpy(tone32.bits(), bgr32.bits(), bgr32.size_bytes());
        std::memcpy(tone48.bits(), bgr48.bits(), bgr48.size_bytes());
        std::memcpy(tone64.bits(), bgr64.bits(), bgr64.size_bytes());
    }
};

Frames& frames() {
    static Frames f;
    return f;
}

// Every kernel below runs once per instruction-set variant this processor supports, named
// BM_<kernel>/<variant>; thread counts are the row-band figures of the pipeline benchmark.
using Member = PixelKernel KernelVariant::*;

// Colour frames by pixel size: 24 or 32 (8-bit samples), 48 or 64 (16-bit samples); 32- and
// 64-bit pixels carry a fourth sample the kernels pass through.
struct ColourFrames {
    CImageBuffer *source, *out, *tone;
};
ColourFrames colour(int bits) {
    Frames& f = frames();
    if (bits == 64) return {&f.bgr64, &f.out64, &f.tone64};
    if (bits == 48) return {&f.bgr48, &f.out48, &f.tone48};
    if (bits == 32) return {&f.bgr32, nullptr, &f.tone32};
    return {&f.bgr24, &f.out24, &f.tone24};
}

void demosaic(benchmark::State& state, const KernelVariant& v, int bits) {
    DemosaicBlock block{0, 120, 100, 90};
    const bool wide = bits != 24;
    CImageBuffer& out = *colour(bits).out;
    CImageBuffer& raw = wide ? frames().raw16 : frames().raw8;
    for (auto _ : state) {
        out.Apply(wide ? v.DemosaicBayer16 : v.DemosaicBayer8, raw, nullptr, 0, 0, &block);
        out.Apply(wide ? v.DemosaicBayerBorder16 : v.DemosaicBayerBorder8, raw, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}

// In-place adjustments of a colour frame of their own.
void adjust(benchmark::State& state, PixelKernel kernel, int32_t value, int bits) {
    AdjustmentBlock block{value, 12};
    CImageBuffer& b = *colour(bits).tone;
    for (auto _ : state) {
        b.Apply(kernel, b, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}

void sharpen(benchmark::State& state, PixelKernel kernel, int bits) {
    AdjustmentBlock block{15, 12};
    CImageBuffer& out = *colour(bits).out;
    CImageBuffer& in = bits == 24 ? frames().work24 : *colour(bits).source;
    for (auto _ : state) {
        out.Apply(kernel, in, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}

void hue(benchmark::State& state, PixelKernel kernel, int bits) {
    HueBlock block{40, 60, 12};
    CImageBuffer& out = *colour(bits).out;
    CImageBuffer& in = *colour(bits).source;
    for (auto _ : state) {
        out.Apply(kernel, in, nullptr, 0, 0, &block);
        benchmark::ClobberMemory();
    }
}

void balance(benchmark::State& state, PixelKernel kernel, bool wide) {
    CImageBuffer& raw = wide ? frames().raw16 : frames().raw8;
    for (auto _ : state) {
        BalanceBlock block{100, 100, 100, 0};
        raw.Apply(kernel, raw, nullptr, 0, 0, &block);
        benchmark::DoNotOptimize(block);
    }
}

void convert(benchmark::State& state, CImageBuffer& out, CImageBuffer& in, PixelKernel kernel) {
    for (auto _ : state) {
        out.Apply(kernel, in, nullptr, 0, 0, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size_bytes()));
}

void register_variant(const KernelVariant& v) {
    const std::string suffix = std::string("/") + v.name;
    const auto add = [&](const char* name, auto run) {
        benchmark::RegisterBenchmark((std::string("BM_") + name + suffix).c_str(), run)->Unit(benchmark::kMillisecond);
    };
    add("DemosaicBayer8", [&v](benchmark::State& s) { demosaic(s, v, 24); });
    add("DemosaicBayer16", [&v](benchmark::State& s) { demosaic(s, v, 48); });
    add("AdjustGammaColor8", [&v](benchmark::State& s) { adjust(s, v.AdjustGammaColor8, 150, 24); });
    add("AdjustContrastColor8", [&v](benchmark::State& s) { adjust(s, v.AdjustContrastColor8, 40, 24); });
    add("AdjustGammaColor8On32", [&v](benchmark::State& s) { adjust(s, v.AdjustGammaColor8, 150, 32); });
    add("AdjustBrightnessColor8", [&v](benchmark::State& s) { adjust(s, v.AdjustBrightnessColor8, 60, 24); });
    add("AdjustGammaColor16", [&v](benchmark::State& s) { adjust(s, v.AdjustGammaColor16, 150, 48); });
    add("AdjustContrastColor16", [&v](benchmark::State& s) { adjust(s, v.AdjustContrastColor16, 40, 48); });
    add("AdjustBrightnessColor16", [&v](benchmark::State& s) { adjust(s, v.AdjustBrightnessColor16, 60, 48); });
    add("SharpenColor8", [&v](benchmark::State& s) { sharpen(s, v.SharpenColor8, 24); });
    add("SharpenColor16", [&v](benchmark::State& s) { sharpen(s, v.SharpenColor16, 48); });
    add("AdjustHueSaturation8", [&v](benchmark::State& s) { hue(s, v.AdjustHueSaturation8, 24); });
    add("AdjustHueSaturation16", [&v](benchmark::State& s) { hue(s, v.AdjustHueSaturation16, 48); });
    // The 16-bit kernels on 64-bit pixels (colour mode 5).
    add("DemosaicBayer16To64", [&v](benchmark::State& s) { demosaic(s, v, 64); });
    add("AdjustGammaColor16On64", [&v](benchmark::State& s) { adjust(s, v.AdjustGammaColor16, 150, 64); });
    add("AdjustContrastColor16On64", [&v](benchmark::State& s) { adjust(s, v.AdjustContrastColor16, 40, 64); });
    add("AdjustBrightnessColor16On64", [&v](benchmark::State& s) { adjust(s, v.AdjustBrightnessColor16, 60, 64); });
    add("SharpenColor16On64", [&v](benchmark::State& s) { sharpen(s, v.SharpenColor16, 64); });
    add("AdjustHueSaturation16On64", [&v](benchmark::State& s) { hue(s, v.AdjustHueSaturation16, 64); });
    add("MeasureBayerBalance8", [&v](benchmark::State& s) { balance(s, v.MeasureBayerBalance8, false); });
    add("FlipRows24", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out24, f.bgr24, v.FlipRows); });
    add("FlipRows24From32", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out24, f.bgr32, v.FlipRows24); });
    add("Drop32To24", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out24, f.bgr32, v.Drop32To24); });
    add("Shift16To8", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out8, f.raw16, v.Shift16To8); });
    add("ReduceMono16Flip10", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out8, f.raw16, v.ReduceMono16Flip10); });
    add("Shift48To24", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out24, f.bgr48, v.Shift48To24); });
    add("ExpandColor48SwapBy4", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out48, f.bgr48, v.ExpandColor48SwapBy4); });
    add("SwapRedBlue24", [&v](benchmark::State& s) { Frames& f = frames(); convert(s, f.out24, f.bgr24, v.SwapRedBlue24); });
}

const int kRegistered = [] {
    for (int32_t i = 0; i < kernel_variant_count(); ++i)
        if (kernel_variant_supported(i)) register_variant(kernel_variant(i));
    return 0;
}();

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
