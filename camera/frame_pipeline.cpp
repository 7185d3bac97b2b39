// Frame pipeline: turns the raw frame of the current capture into the delivered image.
// Runs on the thread that produced the frame, with the frame lock held; each step is skipped
// at its neutral setting.
#include <algorithm>
#include <cstring>
#include <limits>

#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "imaging/bayer_phase.h"
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

void CImvela::process_frame() {
    const int32_t mode = active_color_mode_;
    CImageBuffer* raw = raw_buffer();
    CImageBuffer* out = output_buffer();
    if (!raw || !out || !raw->has_pixels() || !out->has_pixels()) return;

    if (load_relaxed(defect_correction_)) correct_defects(*raw);
    auto_iris(*raw);

    if (mode <= 1) {
        const int32_t gray_mode = load_relaxed(filter_[P::kGrayMode]);
        if (gray_mode == 1) {
            GrayBlock block{bayer_phase(load_relaxed(filter_[P::kBayerMode]),
                                        load_relaxed(analog_[AnalogBlock::kVerticalMirror]) != 0,
                                        load_relaxed(analog_[AnalogBlock::kHorizontalMirror]) != 0),
                            load_relaxed(filter_[P::kGrayGainR]),
                            load_relaxed(filter_[P::kGrayGainG1]),
                            load_relaxed(filter_[P::kGrayGainG2]),
                            load_relaxed(filter_[P::kGrayGainB]),
                            load_relaxed(filter_[P::kGrayOffsetR]),
                            load_relaxed(filter_[P::kGrayOffsetG1]),
                            load_relaxed(filter_[P::kGrayOffsetG2]),
                            load_relaxed(filter_[P::kGrayOffsetB]),
                            mode == 0 ? 8 : kSampleBits};
            const int32_t request = load_relaxed(filter_[P::kAutoGrayBalance]);
            // A positive request counts the frames still to measure; a negative one (the
            // dialog's "All frames") measures every frame until it is cleared.
            if (request != 0) {
                raw->Apply(select_kernel(KernelOperation::MeasureGrayGains, mode), *raw, nullptr, 0, 0, &block);
                store_relaxed(filter_[P::kGrayGainR], block.gainR);
                store_relaxed(filter_[P::kGrayGainG1], block.gainG1);
                store_relaxed(filter_[P::kGrayGainG2], block.gainG2);
                store_relaxed(filter_[P::kGrayGainB], block.gainB);
                store_relaxed(filter_[P::kGrayOffsetR], block.offsetR);
                store_relaxed(filter_[P::kGrayOffsetG1], block.offsetG1);
                store_relaxed(filter_[P::kGrayOffsetG2], block.offsetG2);
                store_relaxed(filter_[P::kGrayOffsetB], block.offsetB);
                if (request > 0) store_relaxed(filter_[P::kAutoGrayBalance], request - 1);
                dialogs_.refresh(DialogLink::kImageDialog);
            }
            if (block.gainR != kUnityGrayGain || block.gainG1 != kUnityGrayGain || block.gainG2 != kUnityGrayGain ||
                block.gainB != kUnityGrayGain)
                raw->Apply(select_kernel(KernelOperation::ApplyGrayGains, mode), *raw, nullptr, 0, 0, &block);
        } else if (gray_mode == 2) {
            // Luminance of the demosaiced frame, at the frame's own sample size: through the
            // 24-bit buffer in colour mode 0, the 48-bit buffer in colour mode 1.
            CImageBuffer* colour = buffers_[mode == 0 ? kColor24 : kColor48].get();
            if (colour && colour->has_pixels()) {
                demosaic(*colour, *raw);
                raw->Apply(select_kernel(KernelOperation::ColorToGray, mode), *colour, nullptr, 0, 0, nullptr);
            }
        }
    } else {
        demosaic(*out, *raw);
    }

    // The frame's kernels run in row bands on the shared pool; the bytes do not depend on it.
    const int32_t bands = BandPool::shared().threads();
    const auto in_place = [&](KernelOperation operation, void* block) {
        apply_in_bands(select_kernel(operation, mode), *out, *out, block, BandShape::Rows, bands);
    };
    const int32_t hue = load_relaxed(filter_[P::kHue]);
    const int32_t saturation = load_relaxed(filter_[P::kSaturation]);
    if ((hue != 0 || saturation != 0) && mode >= 2) {
        HueBlock block{hue, saturation, kSampleBits};
        in_place(KernelOperation::HueSaturation, &block);
    }
    // An in-place tone adjustment, skipped at its neutral value.
    auto adjust = [&](KernelOperation operation, int position, int32_t neutral) {
        AdjustmentBlock block{load_relaxed(filter_[position]), kSampleBits};
        if (block.value != neutral) in_place(operation, &block);
    };
    const int32_t gamma = load_relaxed(filter_[P::kGamma]);
    const int32_t contrast = load_relaxed(filter_[P::kContrast]);
    if (gamma != kNeutralGamma && contrast != 0 && (mode == 0 || mode == 2 || mode == 3)) {
        // 8-bit samples: both tables folded into one pass.
        TableBlock block{mode == 0 ? 1 : 3, {}};
        gamma_contrast_table8(gamma, contrast, mode != 0, block.table);
        apply_in_bands(ApplyTable8, *out, *out, &block, BandShape::Rows, bands);
    } else if (gamma != kNeutralGamma && contrast != 0) {
        // 16-bit samples: likewise, with the tables for the significant bits.
        Table16Block block{mode == 1 ? 1 : 3, 1u << kSampleBits, gamma_contrast_table16(gamma, contrast, kSampleBits)};
        apply_in_bands(ApplyTable16, *out, *out, &block, BandShape::Rows, bands);
    } else {
        adjust(KernelOperation::Gamma, P::kGamma, kNeutralGamma);
        adjust(KernelOperation::Contrast, P::kContrast, 0);
    }
    const int32_t sharpness = load_relaxed(filter_[P::kSharpness]);
    CImageBuffer* work = buffers_[kWorkCopy].get();
    const AdjustmentBlock sharpen{sharpness, kSampleBits};
    if (sharpness != 0 && !sharpen_in_bands(*out, sharpen, mode <= 1 ? 1 : 3, bands) && work &&
        work->size_bytes() == out->size_bytes()) {
        // Rows too wide to keep a history of: the kernel reads an untouched copy.
        std::memcpy(work->bits(), out->bits(), out->size_bytes());
        AdjustmentBlock block = sharpen;
        apply_in_bands(select_kernel(KernelOperation::Sharpness, mode), *out, *work, &block, BandShape::TwoBelow,
                       bands);
    }
    adjust(KernelOperation::Brightness, P::kBrightness, 0);
}

void CImvela::demosaic(CImageBuffer& output, CImageBuffer& raw) {
    const int32_t phase = bayer_phase(load_relaxed(filter_[P::kBayerMode]),
                                      load_relaxed(analog_[AnalogBlock::kVerticalMirror]) != 0,
                                      load_relaxed(analog_[AnalogBlock::kHorizontalMirror]) != 0);
    const bool wide = raw.bits_per_pixel() == 16;
    if (load_relaxed(filter_[P::kAutoColorGain]) != 0) {
        BalanceBlock balance{load_relaxed(filter_[P::kGainBlue]), load_relaxed(filter_[P::kGainGreen]),
                             load_relaxed(filter_[P::kGainRed]), phase};
        raw.Apply(wide ? MeasureBayerBalance16 : MeasureBayerBalance8, raw, nullptr, 0, 0, &balance);
        store_relaxed(filter_[P::kGainRed], std::clamp(balance.redGain, 0, kMaxBayerGain));
        store_relaxed(filter_[P::kGainGreen], std::clamp(balance.greenGain, 0, kMaxBayerGain));
        store_relaxed(filter_[P::kGainBlue], std::clamp(balance.blueGain, 0, kMaxBayerGain));
        // A one-shot balance (request and both one-shot flags) runs on exactly one frame.
        if (load_relaxed(filter_[P::kAutoColorGainOneShot1]) != 0 &&
            load_relaxed(filter_[P::kAutoColorGainOneShot2]) != 0) {
            store_relaxed(filter_[P::kAutoColorGain], 0);
            store_relaxed(filter_[P::kAutoColorGainOneShot1], 0);
            store_relaxed(filter_[P::kAutoColorGainOneShot2], 0);
        }
        dialogs_.refresh(DialogLink::kImageDialog);
    }
    DemosaicBlock block{phase, load_relaxed(filter_[P::kGainRed]), load_relaxed(filter_[P::kGainGreen]),
                        load_relaxed(filter_[P::kGainBlue])};
    apply_in_bands(wide ? DemosaicBayer16 : DemosaicBayer8, output, raw, &block, BandShape::TwoBelow,
                   BandPool::shared().threads());
    output.Apply(wide ? DemosaicBayerBorder16 : DemosaicBayerBorder8, raw, nullptr, 0, 0, &block);
}

void CImvela::auto_iris(CImageBuffer& raw) {
    const int32_t mode = load_relaxed(analog_[AnalogBlock::kAutoIris]);
    if (mode != 1 && mode != 2) return;
    const int64_t w = raw.width(), h = raw.height();
    const PixelKernel average = raw.bits_per_pixel() == 16 ? RegionAverage16 : RegionAverage8;
    // The factor in hundredths: exact, so 0.6 and 1.2 are met exactly.
    int32_t factor = 100;
    for (const auto& f : kIrisWindows) {
        ImageRect rect{static_cast<int32_t>(w * f[0] / 100), static_cast<int32_t>(h * f[1] / 100),
                       static_cast<int32_t>(w * f[2] / 100), static_cast<int32_t>(h * f[3] / 100)};
        if (rect.right <= rect.left || rect.bottom <= rect.top) return;  // too small to measure
        const int32_t mean = raw.Apply(average, raw, &rect, rect.left, rect.top, nullptr);
        if (mean > 200) factor -= 15;
        else if (mean > 160) factor -= 10;
        else if (mean < 50) factor += 10;
        else if (mean < 100) factor += 5;
    }
    if (factor > 60 && factor < 120) return;

    if (mode == 2) {
        const int32_t g = std::max(device_->read_gain_index(), 4);
        int32_t gain = static_cast<int32_t>(int64_t{g} * factor / 100);
        if (factor > 100 && gain <= 4) gain = 4;
        gain = std::clamp(gain, CImvelaM61XZKRSdk::gain_min(), CImvelaM61XZKRSdk::gain_max());
        device_->set_gain(gain);
        for (int p : {AnalogBlock::kGlobalGain, AnalogBlock::kColorGainG1, AnalogBlock::kColorGainR,
                      AnalogBlock::kColorGainB, AnalogBlock::kColorGainG2})
            store_relaxed(analog_[p], gain);
    } else {
        int32_t e = 0;
        device_->read_exposure(&e);
        int32_t lines = static_cast<int32_t>((int64_t{e} * factor / 100) & 0xFFFF);
        lines = std::clamp(std::max(lines, 1), CImvelaM61XZKRSdk::exposure_min(), CImvelaM61XZKRSdk::exposure_max());
        device_->set_exposure(lines);
        store_relaxed(analog_[AnalogBlock::kExposure], lines);
    }
    dialogs_.refresh(DialogLink::kAnalogDialog);
}

bool CImvela::defect_listed(int64_t x, int64_t y) const {
    constexpr int64_t kLow = std::numeric_limits<int32_t>::min(), kHigh = std::numeric_limits<int32_t>::max();
    if (x < kLow || x > kHigh || y < kLow || y > kHigh) return false;
    const DefectPixel p{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return std::binary_search(defect_index_.begin(), defect_index_.end(), p, defect_position_less);
}

void CImvela::correct_defects(CImageBuffer& raw) {
    std::lock_guard<std::mutex> guard(defect_lock_);
    if (defects_.empty() || !raw.has_pixels()) return;
    const bool mirror_h = load_relaxed(analog_[AnalogBlock::kHorizontalMirror]) != 0;
    const bool mirror_v = load_relaxed(analog_[AnalogBlock::kVerticalMirror]) != 0;
    const CaptureWindow& win = active_window_;
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
