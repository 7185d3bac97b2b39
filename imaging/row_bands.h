#pragma once
// Whole-frame kernels split into row bands that run at once on the shared band pool. Every
// band boundary is an even memory row, so Bayer and gray positions keep their colours, and
// every band computes exactly the rows the single call would: the output is the same bytes
// whatever the number of bands.
#include <cstdint>

#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"

namespace imvela {

enum class BandShape {
    Rows,      // each output row from the same source row (tone, colour, conversion kernels)
    TwoBelow,  // rows 2 .. height - 3, each from the source rows two above to one below
               // (demosaic inner area, sharpness)
};

// What CImageBuffer::Apply(kernel, source, nullptr, 0, 0, block) does, in up to `bands` bands
// (at least 32 rows each). Frames of different sizes take the single call.
int32_t apply_in_bands(PixelKernel kernel, CImageBuffer& target, const CImageBuffer& source, void* block,
                       BandShape shape, int32_t bands);

// What apply_in_bands(kernel, target, source, block, BandShape::TwoBelow, bands) does, and
// the fourth sample of every pixel of a 32- or 64-bit target set to zero: for kernels that
// keep that sample from the memory they write to, when it must come out as the library's
// own images hold it. Each band computes its rows and clears their fourth samples in runs
// short enough that the rows are still in the cache for the clearing.
int32_t apply_in_bands_clearing_fourth(PixelKernel kernel, CImageBuffer& target, const CImageBuffer& source,
                                       void* block, int32_t bands);

// The white-balance measurement of a raw frame (what MeasureBayerBalance8/16 gives on
// `block`) with the colour sums taken by `sums` (SumBayerColours8/16 for the frame's sample
// size) in up to `bands` row bands and added in band order: the gains are the single call's
// whatever the number of bands.
void measure_balance_in_bands(const CImageBuffer& raw, PixelKernel sums, BalanceBlock* block, int32_t bands);

// Sharpness (AdjustmentBlock value and sampleBits, `channels` 1 or 3) on the image itself, in
// up to `bands` bands: the bytes the sharpness kernel gives from a copy of the image, without
// the copy. Each band keeps a few rows of history; the rows where bands meet are saved before
// the bands start. False (nothing done) for rows wider than the in-place kernel takes.
bool sharpen_in_bands(CImageBuffer& image, const AdjustmentBlock& adjustment, int32_t channels, int32_t bands);

}  // namespace imvela
