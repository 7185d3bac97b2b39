// The frame pipeline's steps, in the order a frame passes them.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "camera/frame_pipeline.h"
#include "imaging/bayer_phase.h"
#include "imaging/color_mode.h"
#include "imaging/image_buffer.h"
#include "imaging/band_pool.h"
#include "imaging/kernel_selection.h"
#include "imaging/row_bands.h"
#include "imaging/tone_tables.h"

namespace imvela {

namespace {

using P = ImageProcessingBlock;

// Significant bits of 16-bit samples.
constexpr int32_t kSampleBits = 12;
constexpr int32_t kUnityGrayGain = 128;
constexpr int32_t kNeutralGamma = 100;
constexpr int32_t kMaxBayerGain = 400;

// Measurement windows of the exposure control, in hundredths of the width and height:
// left, top, right, bottom.
constexpr int32_t kIrisWindows[5][4] = {
    {10, 10, 20, 20}, {10, 80, 20, 90}, {45, 45, 55, 55}, {80, 10, 90, 20}, {80, 80, 90, 90}};

int32_t sample_at(const CImageBuffer& b, int32_t column, int32_t row) {
    const uint8_t* p = b.bits() + static_cast<size_t>(row) * b.stride() + static_cast<size_t>(column) * b.bytes_per_pixel();
    if (b.bytes_per_pixel() == 1) return *p;
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void put_sample(CImageBuffer& b, int32_t column, int32_t row, int32_t value) {
    uint8_t* p = b.bits() + static_cast<size_t>(row) * b.stride() + static_cast<size_t>(column) * b.bytes_per_pixel();
    if (b.bytes_per_pixel() == 1) {
        *p = static_cast<uint8_t>(value);
    } else {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(p, &v, 2);
    }
}

}  // namespace

namespace {

// The kernels are picked by the mode: buffers of other sample sizes would be read and written
// past their ends.
bool buffers_fit(const FrameBuffers& buffers, int32_t mode) {
    const CImageBuffer* raw = buffers.raw;
    const CImageBuffer* out = buffers.output;
    return raw && out && raw->has_pixels() && out->has_pixels() && mode >= 0 && mode < kColorModeCount &&
           raw->bits_per_pixel() == color_mode_raw_bits(mode) && out->bits_per_pixel() == kColorModeBits[mode];
}

// Gray mode 1: the raw frame's gray gains and offsets per Bayer colour, measured first while
// a balance is requested.
void balance_gray(CImageBuffer& raw, FrameSettings& settings, int32_t mode) {
    const ImageProcessingBlock& filter = settings.filter;
    const AnalogBlock& analog = settings.analog;
    GrayBlock block{bayer_phase(filter[P::kBayerMode], analog[AnalogBlock::kVerticalMirror] != 0,
                                analog[AnalogBlock::kHorizontalMirror] != 0),
                    filter[P::kGrayGainR],
                    filter[P::kGrayGainG1],
                    filter[P::kGrayGainG2],
                    filter[P::kGrayGainB],
                    filter[P::kGrayOffsetR],
                    filter[P::kGrayOffsetG1],
                    filter[P::kGrayOffsetG2],
                    filter[P::kGrayOffsetB],
                    mode == 0 ? 8 : kSampleBits};
    const int32_t request = filter[P::kAutoGrayBalance];
    // A positive request counts the frames still to measure; a negative one (the dialog's
    // "All frames") measures every frame until it is cleared.
    if (request != 0) {
        raw.Apply(select_kernel(KernelOperation::MeasureGrayGains, mode), raw, nullptr, 0, 0, &block);
        settings.set_measured(P::kGrayGainR, block.gainR);
        settings.set_measured(P::kGrayGainG1, block.gainG1);
        settings.set_measured(P::kGrayGainG2, block.gainG2);
        settings.set_measured(P::kGrayGainB, block.gainB);
        settings.set_measured(P::kGrayOffsetR, block.offsetR);
        settings.set_measured(P::kGrayOffsetG1, block.offsetG1);
        settings.set_measured(P::kGrayOffsetG2, block.offsetG2);
        settings.set_measured(P::kGrayOffsetB, block.offsetB);
        if (request > 0) settings.set_measured(P::kAutoGrayBalance, request - 1);
    }
    if (block.gainR != kUnityGrayGain || block.gainG1 != kUnityGrayGain || block.gainG2 != kUnityGrayGain ||
        block.gainB != kUnityGrayGain)
        raw.Apply(select_kernel(KernelOperation::ApplyGrayGains, mode), raw, nullptr, 0, 0, &block);
}

// The in-place passes over the output image after the demosaic. The kernels run in row bands
// on the shared pool; the bytes do not depend on it.
struct OutputPasses {
    CImageBuffer& out;
    int32_t mode;
    int32_t bands;

    void run(KernelOperation operation, void* block) const {
        apply_in_bands(select_kernel(operation, mode), out, out, block, BandShape::Rows, bands);
    }
    // A tone adjustment, skipped at its neutral value.
    void adjust(KernelOperation operation, int32_t value, int32_t neutral) const {
        AdjustmentBlock block{value, kSampleBits};
        if (value != neutral) run(operation, &block);
    }
};

// Hue and saturation, gamma and contrast. 16-bit samples take gamma and contrast as one
// table, folded into the hue pass when that runs (its outputs are table indexes like any
// other samples); 8-bit samples fold both tables into one pass when both are set.
void adjust_hue_and_tone(const OutputPasses& passes, const ImageProcessingBlock& filter) {
    const int32_t mode = passes.mode;
    const int32_t hue = filter[P::kHue];
    const int32_t saturation = filter[P::kSaturation];
    const int32_t gamma = filter[P::kGamma];
    const int32_t contrast = filter[P::kContrast];
    const int32_t channels = color_mode_is_color(mode) ? 3 : 1;
    const bool wide = color_mode_raw_bits(mode) == 16;
    const bool hue_runs = (hue != 0 || saturation != 0) && mode >= 2;
    const uint16_t* tone16 = wide ? tone_table16(gamma, contrast, kSampleBits) : nullptr;
    if (hue_runs && tone16) {
        HueToneBlock block{{hue, saturation, kSampleBits}, 1u << kSampleBits, tone16};
        passes.run(KernelOperation::HueSaturationTone, &block);
        tone16 = nullptr;
    } else if (hue_runs) {
        HueBlock block{hue, saturation, kSampleBits};
        passes.run(KernelOperation::HueSaturation, &block);
    }
    if (tone16) {
        Table16Block block{channels, 1u << kSampleBits, tone16};
        passes.run(KernelOperation::ToneTable, &block);
    } else if (!wide && gamma != kNeutralGamma && contrast != 0) {
        TableBlock block{channels, {}};
        gamma_contrast_table8(gamma, contrast, mode != 0, block.table);
        passes.run(KernelOperation::ToneTable, &block);
    } else if (!wide) {
        passes.adjust(KernelOperation::Gamma, gamma, kNeutralGamma);
        passes.adjust(KernelOperation::Contrast, contrast, 0);
    }
}

// Sharpness: in place with a few rows of history where the rows allow it; otherwise the
// kernel reads an untouched copy in the work buffer.
void sharpen_output(const OutputPasses& passes, int32_t sharpness, CImageBuffer* work) {
    if (sharpness == 0) return;
    CImageBuffer& out = passes.out;
    const AdjustmentBlock sharpen{sharpness, kSampleBits};
    const int32_t channels = color_mode_is_color(passes.mode) ? 3 : 1;
    if (sharpen_in_bands(out, sharpen, channels, passes.bands)) return;
    if (!work || work->size_bytes() != out.size_bytes()) return;
    std::memcpy(work->bits(), out.bits(), out.size_bytes());
    AdjustmentBlock block = sharpen;
    apply_in_bands(select_kernel(KernelOperation::Sharpness, passes.mode), out, *work, &block, BandShape::TwoBelow,
                   passes.bands);
}

}  // namespace

int32_t FramePipeline::process(FrameSettings& settings, const FrameBuffers& buffers, int32_t mode,
                               const CaptureWindow& window) {
    if (!buffers_fit(buffers, mode)) return kKeepExposure;
    CImageBuffer& raw = *buffers.raw;
    CImageBuffer& out = *buffers.output;
    const ImageProcessingBlock& filter = settings.filter;

    if (settings.defect_correction) correct_defects(raw, settings, window);
    const int32_t iris = settings.analog[AnalogBlock::kAutoIris];
    const int32_t factor = iris == 1 || iris == 2 ? iris_factor(raw, mode) : kKeepExposure;

    if (mode >= 2) {
        demosaic(out, raw, settings, mode, buffers.output_foreign && out.bytes_per_pixel() % 4 == 0);
    } else if (filter[P::kGrayMode] == 1) {
        balance_gray(raw, settings, mode);
    } else if (filter[P::kGrayMode] == 2) {
        gray_from_luminance(buffers, settings, mode);
    }

    // Each pass below is one writes_output_once() checks for its neutral value.
    const OutputPasses passes{out, mode, BandPool::shared().threads()};
    adjust_hue_and_tone(passes, filter);
    sharpen_output(passes, filter[P::kSharpness], buffers.work);
    passes.adjust(KernelOperation::Brightness, filter[P::kBrightness], 0);
    return factor;
}

void FramePipeline::gray_from_luminance(const FrameBuffers& buffers, FrameSettings& settings, int32_t mode) {
    // Luminance of the demosaiced frame, at the frame's own sample size: through the 24-bit
    // buffer in colour mode 0, the 48-bit buffer in colour mode 1.
    CImageBuffer* colour = buffers.colour;
    if (!colour || !colour->has_pixels() || colour->bits_per_pixel() != (mode == 0 ? 24 : 48)) return;
    demosaic(*colour, *buffers.raw, settings, mode);
    buffers.raw->Apply(select_kernel(KernelOperation::ColorToGray, mode), *colour, nullptr, 0, 0, nullptr);
}

void FramePipeline::demosaic(CImageBuffer& output, CImageBuffer& raw, FrameSettings& settings, int32_t mode,
                             bool clear_fourth) {
    const ImageProcessingBlock& filter = settings.filter;
    const int32_t phase = bayer_phase(filter[P::kBayerMode], settings.analog[AnalogBlock::kVerticalMirror] != 0,
                                      settings.analog[AnalogBlock::kHorizontalMirror] != 0);
    if (filter[P::kAutoColorGain] != 0) {
        BalanceBlock balance{filter[P::kGainBlue], filter[P::kGainGreen], filter[P::kGainRed], phase};
        measure_balance_in_bands(raw, select_kernel(KernelOperation::BayerColourSums, mode), &balance,
                                 BandPool::shared().threads());
        settings.set_measured(P::kGainRed, std::clamp(balance.redGain, 0, kMaxBayerGain));
        settings.set_measured(P::kGainGreen, std::clamp(balance.greenGain, 0, kMaxBayerGain));
        settings.set_measured(P::kGainBlue, std::clamp(balance.blueGain, 0, kMaxBayerGain));
        // A one-shot balance (request and both one-shot flags) runs on exactly one frame.
        if (filter[P::kAutoColorGainOneShot1] != 0 && filter[P::kAutoColorGainOneShot2] != 0) {
            settings.set_measured(P::kAutoColorGain, 0);
            settings.set_measured(P::kAutoColorGainOneShot1, 0);
            settings.set_measured(P::kAutoColorGainOneShot2, 0);
        }
    }
    DemosaicBlock block{phase, filter[P::kGainRed], filter[P::kGainGreen], filter[P::kGainBlue]};
    const PixelKernel inner = select_kernel(KernelOperation::Demosaic, mode);
    if (clear_fourth)
        apply_in_bands_clearing_fourth(inner, output, raw, &block, BandPool::shared().threads());
    else
        apply_in_bands(inner, output, raw, &block, BandShape::TwoBelow, BandPool::shared().threads());
    output.Apply(select_kernel(KernelOperation::DemosaicBorder, mode), raw, nullptr, 0, 0, &block);
}

bool FramePipeline::writes_output_once(const FrameSettings& settings, int32_t mode) {
    // Every step process() runs on the output image after the demosaic, at its neutral value.
    const ImageProcessingBlock& f = settings.filter;
    return color_mode_is_color(mode) && f[P::kHue] == 0 && f[P::kSaturation] == 0 && f[P::kGamma] == kNeutralGamma &&
           f[P::kContrast] == 0 && f[P::kSharpness] == 0 && f[P::kBrightness] == 0;
}

int32_t FramePipeline::iris_factor(CImageBuffer& raw, int32_t mode) {
    const int64_t w = raw.width(), h = raw.height();
    const PixelKernel average = select_kernel(KernelOperation::RegionAverage, mode);
    if (!average || raw.bits_per_pixel() != color_mode_raw_bits(mode)) return kKeepExposure;
    // The factor in hundredths: exact, so 0.6 and 1.2 are met exactly.
    int32_t factor = 100;
    for (const auto& f : kIrisWindows) {
        ImageRect rect{static_cast<int32_t>(w * f[0] / 100), static_cast<int32_t>(h * f[1] / 100),
                       static_cast<int32_t>(w * f[2] / 100), static_cast<int32_t>(h * f[3] / 100)};
        if (rect.right <= rect.left || rect.bottom <= rect.top) return kKeepExposure;  // too small to measure
        const int32_t mean = raw.Apply(average, raw, &rect, rect.left, rect.top, nullptr);
        if (mean > 200) factor -= 15;
        else if (mean > 160) factor -= 10;
        else if (mean < 50) factor += 10;
        else if (mean < 100) factor += 5;
    }
    return factor > 60 && factor < 120 ? kKeepExposure : factor;
}

bool FramePipeline::replace_defects(DefectList list) {
    DefectList index;
    try {
        index = list;
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::sort(index.begin(), index.end(), defect_position_less);
    std::lock_guard<std::mutex> guard(defect_lock_);
    defects_.swap(list);
    defect_index_.swap(index);
    return true;
}

bool FramePipeline::defect_listed(int64_t x, int64_t y) const {
    constexpr int64_t kLow = std::numeric_limits<int32_t>::min(), kHigh = std::numeric_limits<int32_t>::max();
    if (x < kLow || x > kHigh || y < kLow || y > kHigh) return false;
    const DefectPixel p{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return std::binary_search(defect_index_.begin(), defect_index_.end(), p, defect_position_less);
}

void FramePipeline::correct_defects(CImageBuffer& raw, const FrameSettings& settings, const CaptureWindow& win) {
    std::lock_guard<std::mutex> guard(defect_lock_);
    if (defects_.empty() || !raw.has_pixels()) return;
    const bool mirror_h = settings.analog[AnalogBlock::kHorizontalMirror] != 0;
    const bool mirror_v = settings.analog[AnalogBlock::kVerticalMirror] != 0;
    // The window in list coordinates: columns from the sensor's left, rows from its bottom.
    const int64_t first_column = mirror_h ? int64_t{kSensorWidth} - win.h_start - win.width : win.h_start;
    const int64_t first_row = mirror_v ? int64_t{win.v_start} : int64_t{kSensorHeight} - win.v_start - win.height;
    const int32_t width = std::min(win.width, raw.width());
    const int32_t height = std::min(win.height, raw.height());

    // The list entry for an image position: the mirror mapping undone.
    auto listed = [&](int32_t c, int32_t j) {
        const int64_t X = first_column + c, Y = first_row + j;
        return defect_listed(mirror_h ? kSensorWidth - 1 - X : X, mirror_v ? kSensorHeight - 1 - Y : Y);
    };
    // Row j counts from the bottom of the image; memory row 0 is its top.
    auto sample = [&](int32_t c, int32_t j) { return sample_at(raw, c, height - 1 - j); };

    for (const DefectPixel& p : defects_) {
        const int64_t X = mirror_h ? kSensorWidth - 1 - int64_t{p.x} : p.x;
        const int64_t Y = mirror_v ? kSensorHeight - 1 - int64_t{p.y} : p.y;
        const int64_t c64 = X - first_column, j64 = Y - first_row;
        if (c64 < 0 || c64 >= width || j64 < 0 || j64 >= height) continue;
        const int32_t c = static_cast<int32_t>(c64), j = static_cast<int32_t>(j64);
        int64_t sum = 0;
        int32_t found = 0;
        auto take = [&](int32_t cc, int32_t jj) {
            sum += sample(cc, jj);
            ++found;
        };
        for (int32_t cc = c - 1; cc >= 0; --cc)
            if (!listed(cc, j)) { take(cc, j); break; }
        for (int32_t cc = c + 1; cc < width; ++cc)
            if (!listed(cc, j)) { take(cc, j); break; }
        for (int32_t jj = j - 1; jj >= 0; --jj)
            if (!listed(c, jj)) { take(c, jj); break; }
        for (int32_t jj = j + 1; jj < height; ++jj)
            if (!listed(c, jj)) { take(c, jj); break; }
        if (found) put_sample(raw, c, height - 1 - j, static_cast<int32_t>(sum / found));
    }
}

}  // namespace imvela
