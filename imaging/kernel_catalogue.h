#pragma once
// Pixel kernels: the two calling signatures, their parameter blocks and every kernel of the
// library. Callers never loop over pixels; they hand a kernel to CImageBuffer::Apply or
// CImageBuffer::ApplyScaled, which pass rectangles already clipped to both buffers.
#include <cstdint>

namespace imvela {

// Left, top, right, bottom; right and bottom exclusive.
struct ImageRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Reads the source rectangle (memory rows) of `src` and writes `dst` from column x, row y.
// Source pixel (left + i, top + j) corresponds to destination pixel (x + i, y + j).
// Returns 1, or the average for the region-average kernels.
using PixelKernel = int32_t (*)(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x,
                                int32_t y, uint16_t dstPixelBytes, uint16_t srcPixelBytes,
                                int32_t dstStride, int32_t srcStride, void* user, int32_t reserved);

using ScaleKernel = int32_t (*)(uint8_t* dst, const uint8_t* src, const ImageRect& dstRect,
                                const ImageRect& srcRect, int32_t dstWidth, int32_t dstHeight,
                                int32_t srcWidth, int32_t srcHeight, uint16_t dstPixelBytes,
                                uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride,
                                int32_t reserved1, int32_t reserved2);

// Brightness, contrast, gamma and sharpness. sampleBits applies to 16-bit samples only and is
// clamped to 8..16 by the kernels.
struct AdjustmentBlock {
    int32_t value;
    int32_t sampleBits;
};

// Gains in percent, 100 = unity; greenGain is carried but not used.
struct DemosaicBlock {
    int32_t phase;
    int32_t redGain;
    int32_t greenGain;
    int32_t blueGain;
};

// Outputs of the white-balance measurement (percent); phase is its input.
struct BalanceBlock {
    int32_t blueGain;
    int32_t greenGain;
    int32_t redGain;
    int32_t phase;
};

// Colour sums of a raw Bayer rectangle (SumBayerColours8/16): the phase in; the sums of its
// green, blue and red samples and their counts added to what the block holds, so that the
// sums of row bands (starting at even rows) add up to the whole rectangle's.
struct BayerSumsBlock {
    int32_t phase;
    int32_t reserved;
    uint64_t green, blue, red;
    uint64_t greenCount, blueCount, redCount;
};

// The white-balance gains of colour sums into block's red, green and blue gains, as
// MeasureBayerBalance8/16 computes them; false, the gains untouched, when a colour has no
// sample or only black ones.
bool balance_gains(const BayerSumsBlock& sums, BalanceBlock* block);

// Gray balancing of monochrome Bayer data: gains 128 = unity, offsets added after the gain.
struct GrayBlock {
    int32_t phase;
    int32_t gainR;
    int32_t gainG1;
    int32_t gainG2;
    int32_t gainB;
    int32_t offsetR;
    int32_t offsetG1;
    int32_t offsetG2;
    int32_t offsetB;
    int32_t sampleBits;
};

struct HueBlock {
    int32_t hue;         // degrees, -360..360
    int32_t saturation;  // -255..255
    int32_t sampleBits;
};

// Hue and saturation on 16-bit samples followed by a tone table (samples at or above `size`
// take the last entry): what AdjustHueSaturation16 and then ApplyTable16 give, in one pass.
struct HueToneBlock {
    HueBlock hue;
    uint32_t size;
    const uint16_t* table;
};

// A 256-entry table applied to 8-bit samples: the tone tables of one frame folded into one.
struct TableBlock {
    int32_t channels;  // 1 for gray, 3 for colour (a fourth byte is never touched)
    uint8_t table[256];
};

// A table applied to 16-bit samples; samples at or above `size` take the last entry.
struct Table16Block {
    int32_t channels;  // 1 for gray, 3 for colour
    uint32_t size;
    const uint16_t* table;
};

// Sharpness on the image itself (source and destination the same memory): the adjustment's
// value and significant bits, the samples per pixel that change (1 or 3) and the bytes of a
// sample (1 or 2), and the original samples of the two rows above the rectangle's output rows
// (its rows 0 and 1) and of the row below them (its row height - 2), which rows computed at
// the same time by other calls may have rewritten.
struct SharpenInPlaceBlock {
    int32_t value;
    int32_t sampleBits;
    int32_t channels;
    int32_t sampleBytes;
    const uint8_t* above[2];
    const uint8_t* below;
};

#define IMVELA_PIXEL_KERNEL(name)                                                                 \
    int32_t name(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,  \
                 uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride,              \
                 int32_t srcStride, void* user, int32_t reserved)
#define IMVELA_SCALE_KERNEL(name)                                                                 \
    int32_t name(uint8_t* dst, const uint8_t* src, const ImageRect& dstRect,                      \
                 const ImageRect& srcRect, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, \
                 int32_t srcHeight, uint16_t dstPixelBytes, uint16_t srcPixelBytes,               \
                 int32_t dstStride, int32_t srcStride, int32_t reserved1, int32_t reserved2)

// Demosaic (DemosaicBlock) and white-balance measurement (BalanceBlock).
IMVELA_PIXEL_KERNEL(DemosaicBayer8);
IMVELA_PIXEL_KERNEL(DemosaicBayerBorder8);
IMVELA_PIXEL_KERNEL(DemosaicBayer16);
IMVELA_PIXEL_KERNEL(DemosaicBayerBorder16);
IMVELA_PIXEL_KERNEL(MeasureBayerBalance8);
IMVELA_PIXEL_KERNEL(MeasureBayerBalance16);
IMVELA_PIXEL_KERNEL(SumBayerColours8);
IMVELA_PIXEL_KERNEL(SumBayerColours16);

// Gray mode (GrayBlock; ColorToGray takes no block). ColorToGray16 reduces 48/64-bit colour to
// 16-bit luminance with the same weights.
IMVELA_PIXEL_KERNEL(MeasureGrayGains);
IMVELA_PIXEL_KERNEL(ApplyGrayGains8);
IMVELA_PIXEL_KERNEL(ApplyGrayGains16);
IMVELA_PIXEL_KERNEL(ColorToGray);
IMVELA_PIXEL_KERNEL(ColorToGray16);

// Hue and saturation (HueBlock), in place.
IMVELA_PIXEL_KERNEL(AdjustHueSaturation8);
IMVELA_PIXEL_KERNEL(AdjustHueSaturation16);
IMVELA_PIXEL_KERNEL(AdjustHueSaturationTone16);  // HueToneBlock

// Tone (AdjustmentBlock): mono 8-bit, mono 16-bit, colour 8-bit (24/32), colour 16-bit (48/64).
IMVELA_PIXEL_KERNEL(AdjustGammaMono8);
IMVELA_PIXEL_KERNEL(AdjustGammaMono16);
IMVELA_PIXEL_KERNEL(AdjustGammaColor8);
IMVELA_PIXEL_KERNEL(AdjustGammaColor16);
IMVELA_PIXEL_KERNEL(AdjustContrastMono8);
IMVELA_PIXEL_KERNEL(AdjustContrastMono16);
IMVELA_PIXEL_KERNEL(AdjustContrastColor8);
IMVELA_PIXEL_KERNEL(AdjustContrastColor16);
IMVELA_PIXEL_KERNEL(AdjustBrightnessMono8);
IMVELA_PIXEL_KERNEL(AdjustBrightnessMono16);
IMVELA_PIXEL_KERNEL(AdjustBrightnessColor8);
IMVELA_PIXEL_KERNEL(AdjustBrightnessColor16);
// Any 8-bit table (TableBlock), in place or not.
IMVELA_PIXEL_KERNEL(ApplyTable8);
// Any 16-bit table (Table16Block), in place or not.
IMVELA_PIXEL_KERNEL(ApplyTable16);

// Sharpness (AdjustmentBlock): source must be a copy of the destination, not the same memory.
IMVELA_PIXEL_KERNEL(SharpenMono8);
IMVELA_PIXEL_KERNEL(SharpenMono16);
IMVELA_PIXEL_KERNEL(SharpenColor8);
IMVELA_PIXEL_KERNEL(SharpenColor16);
// Sharpness in place (SharpenInPlaceBlock); rows at most 16384 bytes wide.
IMVELA_PIXEL_KERNEL(SharpenInPlace);

// Format conversions (no block).
IMVELA_PIXEL_KERNEL(FlipRows);
IMVELA_PIXEL_KERNEL(FlipRows24);
IMVELA_PIXEL_KERNEL(Drop32To24);
IMVELA_PIXEL_KERNEL(Shift16To8);
IMVELA_PIXEL_KERNEL(ReduceMono16Flip12);
IMVELA_PIXEL_KERNEL(ReduceMono16Flip10);
IMVELA_PIXEL_KERNEL(Shift48To24);
IMVELA_PIXEL_KERNEL(ReduceColor16Flip10);
IMVELA_PIXEL_KERNEL(ReduceColor16Flip12);
IMVELA_PIXEL_KERNEL(ExpandMono16By4);
IMVELA_PIXEL_KERNEL(ExpandMono16By6);
IMVELA_PIXEL_KERNEL(ExpandColor48By4);
IMVELA_PIXEL_KERNEL(ExpandColor48By6);
IMVELA_PIXEL_KERNEL(ExpandColor48SwapBy4);
IMVELA_PIXEL_KERNEL(ExpandColor48SwapBy6);
IMVELA_PIXEL_KERNEL(ExpandColor64By4);
IMVELA_PIXEL_KERNEL(ExpandColor64By6);
IMVELA_PIXEL_KERNEL(ExpandColor64SwapBy4);
IMVELA_PIXEL_KERNEL(ExpandColor64SwapBy6);
IMVELA_PIXEL_KERNEL(SwapRedBlue24);
IMVELA_PIXEL_KERNEL(InvertAlpha32);

// Re-pad a packed raw frame in place (source and destination are the same buffer).
IMVELA_PIXEL_KERNEL(RepadRows8);
IMVELA_PIXEL_KERNEL(RepadRows16);

// Mean 8-bit level of a region; the result is the average, not 1.
IMVELA_PIXEL_KERNEL(RegionAverage8);
IMVELA_PIXEL_KERNEL(RegionAverage16);

// Nearest-neighbour scaling that turns the picture upside down.
IMVELA_SCALE_KERNEL(ScaleFlip8);
IMVELA_SCALE_KERNEL(ScaleFlip24);

}  // namespace imvela
