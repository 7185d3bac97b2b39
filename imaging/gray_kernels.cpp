// Gray mode: per-position gain and offset of monochrome Bayer data, the automatic measurement
// of those gains, and the reduction of a demosaiced picture to luminance.
#include <algorithm>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

// Gray positions by (row flag, column flag): 00 G1, 01 R, 10 B, 11 G2.
enum GrayPosition { kG1 = 0, kR = 1, kB = 2, kG2 = 3 };

void position_settings(const GrayBlock& block, int32_t gains[4], int32_t offsets[4]) {
    gains[kG1] = block.gainG1;
    gains[kR] = block.gainR;
    gains[kB] = block.gainB;
    gains[kG2] = block.gainG2;
    offsets[kG1] = block.offsetG1;
    offsets[kR] = block.offsetR;
    offsets[kB] = block.offsetB;
    offsets[kG2] = block.offsetG2;
}

// Largest value of 16-bit samples with the given significant bits.
int32_t sample_limit(int32_t sampleBits) {
    switch (sampleBits) {
        case 10: return 1023;
        case 12: return 4095;
        case 14: return 16383;
        default: return 65535;
    }
}

// out = offset + v * gain / 128, truncated, limited to [0, limit]. Measured gains can be far
// above the setters' range, so the arithmetic is 64-bit.
template <typename T>
void apply_gains(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y, uint16_t dstPixelBytes,
                 uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride, const GrayBlock& block, int32_t limit) {
    int32_t gains[4], offsets[4];
    position_settings(block, gains, offsets);
    const int32_t phase = block.phase & 3;
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = kernel::source_row(src, rect, j, srcStride, srcPixelBytes);
        uint8_t* out = kernel::dest_row(dst, x, y, j, dstStride, dstPixelBytes);
        const int32_t rowFlag = kernel::bayer_row_flag(phase, j);
        const int64_t g[2] = {gains[rowFlag * 2 + kernel::bayer_column_flag(phase, 0)],
                              gains[rowFlag * 2 + kernel::bayer_column_flag(phase, 1)]};
        const int64_t o[2] = {offsets[rowFlag * 2 + kernel::bayer_column_flag(phase, 0)],
                              offsets[rowFlag * 2 + kernel::bayer_column_flag(phase, 1)]};
        for (int32_t i = 0; i < width; ++i) {
            const uint8_t* s = in + static_cast<ptrdiff_t>(i) * srcPixelBytes;
            const int64_t v = sizeof(T) == 1 ? *s : kernel::load16(s);
            const int64_t result = std::clamp<int64_t>(o[i & 1] + v * g[i & 1] / 128, 0, limit);
            uint8_t* d = out + static_cast<ptrdiff_t>(i) * dstPixelBytes;
            if constexpr (sizeof(T) == 1)
                *d = static_cast<uint8_t>(result);
            else
                kernel::store16(d, static_cast<uint16_t>(result));
        }
    }
}

template <typename T>
void measure_gray(const uint8_t* src, const ImageRect& rect, uint16_t srcPixelBytes, int32_t srcStride,
                  GrayBlock& block, uint32_t saturation) {
    uint64_t sums[4] = {}, counts[4] = {};
    const int32_t phase = block.phase & 3;
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = kernel::source_row(src, rect, j, srcStride, srcPixelBytes);
        const int32_t rowFlag = kernel::bayer_row_flag(phase, j);
        for (int32_t i = 0; i < width; ++i) {
            const uint8_t* s = in + static_cast<ptrdiff_t>(i) * srcPixelBytes;
            const uint32_t v = sizeof(T) == 1 ? *s : kernel::load16(s);
            if (v == 0 || v == saturation) continue;
            const int32_t position = rowFlag * 2 + kernel::bayer_column_flag(phase, i);
            sums[position] += v;
            ++counts[position];
        }
    }
    if (!counts[kR] || !counts[kG1] || !counts[kG2] || !counts[kB]) return;
    const double aR = static_cast<double>(sums[kR]) / static_cast<double>(counts[kR]);
    const double aG1 = static_cast<double>(sums[kG1]) / static_cast<double>(counts[kG1]);
    const double aG2 = static_cast<double>(sums[kG2]) / static_cast<double>(counts[kG2]);
    const double aB = static_cast<double>(sums[kB]) / static_cast<double>(counts[kB]);
    double top = aR;
    if (aG1 > top) top = aG1;
    if (aG2 > top) top = aG2;
    if (aB > top) top = aB;
    block.gainR = kernel::truncate_saturated(top / aR * 128);
    block.gainG1 = kernel::truncate_saturated(top / aG1 * 128);
    block.gainG2 = kernel::truncate_saturated(top / aG2 * 128);
    block.gainB = kernel::truncate_saturated(top / aB * 128);
}

// Luminance (59 green + 30 red + 11 blue) / 100 of blue-green-red pixels of T samples.
template <typename T>
void luminance(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y, uint16_t dstPixelBytes,
               uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride) {
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    auto load = [](const uint8_t* p) -> uint32_t { return sizeof(T) == 1 ? *p : kernel::load16(p); };
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = kernel::source_row(src, rect, j, srcStride, srcPixelBytes);
        uint8_t* out = kernel::dest_row(dst, x, y, j, dstStride, dstPixelBytes);
        for (int32_t i = 0; i < width; ++i) {
            const uint8_t* p = in + static_cast<ptrdiff_t>(i) * srcPixelBytes;
            const uint32_t v = (59 * load(p + sizeof(T)) + 30 * load(p + 2 * sizeof(T)) + 11 * load(p)) / 100;
            uint8_t* o = out + static_cast<ptrdiff_t>(i) * dstPixelBytes;
            if (sizeof(T) == 1)
                *o = static_cast<uint8_t>(v);
            else
                kernel::store16(o, static_cast<uint16_t>(v));
        }
    }
}

}  // namespace

IMVELA_PIXEL_KERNEL(ApplyGrayGains8) {
    if (!dst || !src || !user || kernel::rect_empty(rect) || dstPixelBytes < 1 || srcPixelBytes < 1) return 1;
    apply_gains<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride,
                         *static_cast<const GrayBlock*>(user), 255);
    return 1;
}

IMVELA_PIXEL_KERNEL(ApplyGrayGains16) {
    if (!dst || !src || !user || kernel::rect_empty(rect) || dstPixelBytes < 2 || srcPixelBytes < 2) return 1;
    const auto& block = *static_cast<const GrayBlock*>(user);
    apply_gains<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, block,
                          sample_limit(block.sampleBits));
    return 1;
}

IMVELA_PIXEL_KERNEL(MeasureGrayGains) {
    if (!src || !user || kernel::rect_empty(rect)) return 1;
    auto& block = *static_cast<GrayBlock*>(user);
    if (block.sampleBits == 8) {
        if (srcPixelBytes >= 1) measure_gray<uint8_t>(src, rect, srcPixelBytes, srcStride, block, 255);
    } else if (srcPixelBytes >= 2) {
        measure_gray<uint16_t>(src, rect, srcPixelBytes, srcStride, block,
                               static_cast<uint32_t>(sample_limit(block.sampleBits)));
    }
    return 1;
}

IMVELA_PIXEL_KERNEL(ColorToGray) {
    if (!dst || !src || kernel::rect_empty(rect) || dstPixelBytes < 1 || srcPixelBytes < 3) return 1;
    luminance<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride);
    return 1;
}

IMVELA_PIXEL_KERNEL(ColorToGray16) {
    if (!dst || !src || kernel::rect_empty(rect) || dstPixelBytes < 2 || srcPixelBytes < 6) return 1;
    luminance<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride);
    return 1;
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
