#include "camera/pipeline_self_check.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "camera/frame_pipeline.h"
#include "imaging/image_set.h"
#include "imaging/band_pool.h"
#include "imaging/color_mode.h"
#include "imaging/kernel_variant.h"

namespace imvela {

namespace {

// The pattern: big enough for every kernel thread to get row bands of its own.
constexpr int32_t kWidth = 256;
constexpr int32_t kHeight = 192;

// What the library was built with: case (mode * 2 + adjusted) -> digest of the output.
constexpr uint64_t kDigests[kPipelineCheckCases] = {
#include "camera/pipeline_digests.inc"
};

std::atomic<int32_t> g_wrong_case{-1};

const char* const kModeNames[] = {"8-bit gray", "16-bit gray", "24-bit colour", "32-bit colour", "48-bit colour",
                                  "64-bit colour"};

// Gradients, a bright square and noise: every kernel sees edges, flat areas and clipping.
void fill_pattern(CImageBuffer& raw) {
    uint32_t noise = 12345;
    const bool wide = raw.bits_per_pixel() == 16;
    for (int32_t y = 0; y < raw.height(); ++y) {
        uint8_t* row = raw.bits() + static_cast<int64_t>(y) * raw.stride();
        for (int32_t x = 0; x < raw.width(); ++x) {
            noise = noise * 1664525u + 1013904223u;
            uint32_t value = static_cast<uint32_t>(x * 9 + y * 5) + (noise >> 28);
            if (x > 100 && x < 140 && y > 60 && y < 110) value = 4095;
            value &= 4095;  // 12 significant bits
            if (wide) {
                row[2 * x] = static_cast<uint8_t>(value);
                row[2 * x + 1] = static_cast<uint8_t>(value >> 8);
            } else {
                row[x] = static_cast<uint8_t>(value >> 4);
            }
        }
    }
}

FrameSettings case_settings(int32_t mode, bool adjusted) {
    FrameSettings s;
    ImageProcessingBlock& f = s.filter;
    f[ImageProcessingBlock::kGamma] = 100;
    f[ImageProcessingBlock::kGainRed] = f[ImageProcessingBlock::kGainGreen] = f[ImageProcessingBlock::kGainBlue] = 100;
    f[ImageProcessingBlock::kGrayGainR] = f[ImageProcessingBlock::kGrayGainG1] = 128;
    f[ImageProcessingBlock::kGrayGainG2] = f[ImageProcessingBlock::kGrayGainB] = 128;
    if (!adjusted) return s;
    f[ImageProcessingBlock::kBrightness] = 20;
    f[ImageProcessingBlock::kContrast] = 30;
    f[ImageProcessingBlock::kHue] = 40;
    f[ImageProcessingBlock::kSaturation] = 50;
    f[ImageProcessingBlock::kSharpness] = 3;
    f[ImageProcessingBlock::kGamma] = 140;
    f[ImageProcessingBlock::kGainRed] = 130;
    f[ImageProcessingBlock::kGainBlue] = 80;
    // The gray modes: channel gains and offsets (gray mode 1) in 8 bits, the luminance of
    // the demosaiced frame (gray mode 2) in 16.
    f[ImageProcessingBlock::kGrayMode] = mode == 1 ? 2 : 1;
    f[ImageProcessingBlock::kGrayGainR] = 150;
    f[ImageProcessingBlock::kGrayGainB] = 100;
    f[ImageProcessingBlock::kGrayOffsetG1] = -10;
    f[ImageProcessingBlock::kGrayOffsetB] = 12;
    return s;
}

// FNV-1a over the pixel bytes of every row (never the padding).
uint64_t digest(const CImageBuffer& image) {
    uint64_t hash = 14695981039346656037ull;
    const int64_t row_bytes = static_cast<int64_t>(image.width()) * image.bytes_per_pixel();
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.bits() + static_cast<int64_t>(y) * image.stride();
        for (int64_t i = 0; i < row_bytes; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
    }
    return hash;
}

std::mutex& check_lock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

uint64_t pipeline_case_digest(int32_t index) {
    if (index < 0 || index >= kPipelineCheckCases) return 0;
    const int32_t mode = index / 2;
    ImageSet images;
    if (!images.create_for(mode, kWidth, kHeight)) return 0;
    CImageBuffer& raw = *images.raw(mode);
    fill_pattern(raw);
    FrameSettings settings = case_settings(mode, index % 2 != 0);
    FrameBuffers buffers;
    buffers.raw = &raw;
    buffers.output = images.output(mode);
    buffers.colour = &images[mode == 0 ? kColor24 : kColor48];
    buffers.work = &images[kWorkCopy];
    CaptureWindow window;
    window.width = kWidth;
    window.height = kHeight;
    FramePipeline pipeline;
    pipeline.process(settings, buffers, mode, window);
    const uint64_t result = digest(*buffers.output);
    return index == g_wrong_case.load(std::memory_order_relaxed) ? result ^ 1 : result;
}

void expect_wrong_pipeline_digest(int32_t index) { g_wrong_case.store(index, std::memory_order_relaxed); }

int32_t check_pipeline(std::string& report) {
    std::lock_guard<std::mutex> one_at_a_time(check_lock());
    BandPool::Lease workers;
    BandPool& pool = BandPool::shared();
    const int32_t all_threads = pool.threads();
    const int32_t variant_before = active_kernel_variant_index();
    int32_t mismatches = 0;
    char line[200];
    for (int32_t v = 0; v < kernel_variant_count(); ++v) {
        if (!use_kernel_variant(v)) {
            std::snprintf(line, sizeof line, "pipeline  %-8s not run: this processor lacks its instructions\n",
                          kernel_variant(v).name);
            report += line;
            continue;
        }
        for (const int32_t threads : {1, all_threads}) {
            pool.set_thread_limit(threads);
            int32_t matched = 0;
            for (int32_t c = 0; c < kPipelineCheckCases; ++c) {
                const uint64_t got = pipeline_case_digest(c);
                if (got == kDigests[c]) {
                    ++matched;
                    continue;
                }
                ++mismatches;
                std::snprintf(line, sizeof line,
                              "pipeline  %-8s %d thread%s  %s %s: digest %016llx, expected %016llx  FAIL\n",
                              kernel_variant(v).name, threads, threads == 1 ? "" : "s", kModeNames[c / 2],
                              c % 2 ? "adjusted" : "neutral", static_cast<unsigned long long>(got),
                              static_cast<unsigned long long>(kDigests[c]));
                report += line;
            }
            std::snprintf(line, sizeof line, "pipeline  %-8s %d thread%s  %d of %d outputs as built  %s\n",
                          kernel_variant(v).name, threads, threads == 1 ? "" : "s", matched, kPipelineCheckCases,
                          matched == kPipelineCheckCases ? "pass" : "FAIL");
            report += line;
            if (all_threads == 1) break;  // one thread is all threads
        }
    }
    pool.set_thread_limit(all_threads);
    use_kernel_variant(variant_before);
    return mismatches;
}

}  // namespace imvela
