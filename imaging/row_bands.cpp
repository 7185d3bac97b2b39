#include "imaging/row_bands.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/band_pool.h"

namespace imvela {

namespace {

constexpr int32_t kMinBandRows = 32;

struct BandedCall {
    PixelKernel kernel;
    CImageBuffer* target;
    const CImageBuffer* source;
    void* block;
    BandShape shape;
    int32_t bands;
};

// First memory row of band b (even; band `bands` starts at the frame's height).
int32_t band_start(int32_t height, int32_t bands, int32_t b) {
    if (b >= bands) return height;
    return static_cast<int32_t>(int64_t{height} * b / bands) & ~1;
}

// Runs the call's kernel so that it writes the target's rows top .. bottom - 1.
void run_rows(const BandedCall& call, int32_t top, int32_t bottom) {
    if (call.shape == BandShape::TwoBelow) {
        // The kernel computes rows top + 2 .. bottom - 3 of its rectangle (the frame's two
        // outer rows at either end excepted).
        top = std::max(0, top - 2);
        bottom = std::min(call.target->height(), bottom + 2);
    }
    const ImageRect rect{0, top, call.source->width(), bottom};
    call.kernel(call.target->bits(), call.source->bits(), rect, 0, top, call.target->bytes_per_pixel(),
                call.source->bytes_per_pixel(), call.target->stride(), call.source->stride(), call.block, 0);
}

void run_band(void* context, int32_t b) {
    const auto& call = *static_cast<const BandedCall*>(context);
    const int32_t height = call.target->height();
    run_rows(call, band_start(height, call.bands, b), band_start(height, call.bands, b + 1));
}

// Bytes of rows computed and cleared in one go by run_clearing_band: a core's level-2 cache
// still holds them between the kernel and the clearing. Runs are an even number of rows, so
// that every run starts on a row of the frame's first Bayer colour.
constexpr size_t kClearingRunBytes = 256 * 1024;

// Sets the fourth byte of `count` 32-bit pixels to zero.
void clear_fourth_bytes(uint8_t* row, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, row + static_cast<size_t>(i) * 4, 4);
        pixel &= 0x00FFFFFFu;
        std::memcpy(row + static_cast<size_t>(i) * 4, &pixel, 4);
    }
}

void run_clearing_band(void* context, int32_t b) {
    const auto& call = *static_cast<const BandedCall*>(context);
    CImageBuffer& target = *call.target;
    const int32_t height = target.height(), width = target.width();
    const size_t row_bytes = static_cast<size_t>(width) * target.bytes_per_pixel();
    const int32_t rows_per_run = std::max<int32_t>(8, static_cast<int32_t>(kClearingRunBytes / row_bytes) & ~1);
    // The cheaper order for each, as measured on frames out of the caches: 64-bit rows are
    // zeroed before the kernel writes them (it then finds them in the cache); the fourth bytes
    // of 32-bit rows are cleared after it, so that the fetch of the rows overlaps its work.
    const bool zero_first = target.bytes_per_pixel() == 8;
    const auto row = [&](int32_t r) { return target.bits() + static_cast<ptrdiff_t>(r) * target.stride(); };
    const int32_t end = band_start(height, call.bands, b + 1);
    for (int32_t top = band_start(height, call.bands, b); top < end; top += rows_per_run) {
        const int32_t bottom = std::min(end, top + rows_per_run);
        if (zero_first)
            for (int32_t r = top; r < bottom; ++r) std::memset(row(r), 0, row_bytes);
        run_rows(call, top, bottom);
        if (!zero_first)
            for (int32_t r = top; r < bottom; ++r) clear_fourth_bytes(row(r), width);
    }
}

bool bandable(PixelKernel kernel, const CImageBuffer& target, const CImageBuffer& source) {
    return kernel && target.has_pixels() && source.has_pixels() && source.width() == target.width() &&
           source.height() == target.height();
}

}  // namespace

int32_t apply_in_bands(PixelKernel kernel, CImageBuffer& target, const CImageBuffer& source, void* block,
                       BandShape shape, int32_t bands) {
    const int32_t height = target.height();
    bands = std::min(bands, height / kMinBandRows);
    if (bands <= 1 || !bandable(kernel, target, source)) return target.Apply(kernel, source, nullptr, 0, 0, block);
    BandedCall call{kernel, &target, &source, block, shape, bands};
    BandPool::shared().run(bands, run_band, &call);
    return 1;
}

int32_t apply_in_bands_clearing_fourth(PixelKernel kernel, CImageBuffer& target, const CImageBuffer& source,
                                       void* block, int32_t bands) {
    if (!bandable(kernel, target, source) || (target.bytes_per_pixel() != 4 && target.bytes_per_pixel() != 8))
        return 0;
    BandedCall call{kernel, &target, &source, block, BandShape::TwoBelow,
                    std::max(1, std::min(bands, target.height() / kMinBandRows))};
    BandPool::shared().run(call.bands, run_clearing_band, &call);
    return 1;
}

namespace {

constexpr int32_t kMaxBands = 64;

struct SumsCall {
    const CImageBuffer* raw;
    PixelKernel sum;
    int32_t bands;
    BayerSumsBlock sums[kMaxBands];
};

void run_sums_band(void* context, int32_t b) {
    auto& call = *static_cast<SumsCall*>(context);
    const CImageBuffer& raw = *call.raw;
    const int32_t height = raw.height();
    const ImageRect rect{0, band_start(height, call.bands, b), raw.width(), band_start(height, call.bands, b + 1)};
    call.sum(nullptr, raw.bits(), rect, 0, rect.top, 0, raw.bytes_per_pixel(), 0, raw.stride(), &call.sums[b], 0);
}

}  // namespace

void measure_balance_in_bands(const CImageBuffer& raw, PixelKernel sums, BalanceBlock* block, int32_t bands) {
    if (!block || !sums || !raw.has_pixels()) return;
    SumsCall call{&raw, sums, std::clamp(std::min(bands, raw.height() / kMinBandRows), 1, kMaxBands), {}};
    for (int32_t b = 0; b < call.bands; ++b) call.sums[b] = BayerSumsBlock{block->phase, 0, 0, 0, 0, 0, 0, 0};
    BandPool::shared().run(call.bands, run_sums_band, &call);
    BayerSumsBlock total{block->phase, 0, 0, 0, 0, 0, 0, 0};
    for (int32_t b = 0; b < call.bands; ++b) {
        total.green += call.sums[b].green;
        total.blue += call.sums[b].blue;
        total.red += call.sums[b].red;
        total.greenCount += call.sums[b].greenCount;
        total.blueCount += call.sums[b].blueCount;
        total.redCount += call.sums[b].redCount;
    }
    balance_gains(total, block);
}

namespace {
constexpr int64_t kInPlaceRowBytes = 16384;

struct InPlaceCall {
    CImageBuffer* image;
    int32_t bands;
    SharpenInPlaceBlock blocks[kMaxBands];
};

void run_in_place_band(void* context, int32_t b) {
    auto& call = *static_cast<InPlaceCall*>(context);
    CImageBuffer& image = *call.image;
    const int32_t height = image.height();
    const int32_t top = std::max(0, band_start(height, call.bands, b) - 2);
    const int32_t bottom = std::min(height, band_start(height, call.bands, b + 1) + 2);
    const ImageRect rect{0, top, image.width(), bottom};
    SharpenInPlace(image.bits(), image.bits(), rect, 0, top, image.bytes_per_pixel(), image.bytes_per_pixel(),
                   image.stride(), image.stride(), &call.blocks[b], 0);
}

}  // namespace

bool sharpen_in_bands(CImageBuffer& image, const AdjustmentBlock& adjustment, int32_t channels, int32_t bands) {
    const int32_t height = image.height();
    const int64_t rowBytes = int64_t{image.width()} * image.bytes_per_pixel();
    if (!image.has_pixels() || rowBytes > kInPlaceRowBytes) return false;
    bands = std::clamp(std::min(bands, height / kMinBandRows), 1, kMaxBands);
    const int32_t sampleBytes = image.bits_per_pixel() == 16 || image.bits_per_pixel() >= 48 ? 2 : 1;
    const auto row = [&](int32_t r) { return image.bits() + static_cast<ptrdiff_t>(r) * image.stride(); };
    // Rows m - 2, m - 1 and m of every boundary m between bands, as they are before any band
    // rewrites them. Kept per thread: a frame allocates only when it is larger than the last.
    thread_local std::vector<uint8_t> saved;
    saved.resize(static_cast<size_t>(3 * rowBytes * bands));
    InPlaceCall call{&image, bands, {}};
    for (int32_t b = 0; b < bands; ++b) {
        SharpenInPlaceBlock& block = call.blocks[b];
        block = SharpenInPlaceBlock{adjustment.value, adjustment.sampleBits, channels, sampleBytes, {}, nullptr};
        if (b == 0) {
            block.above[0] = row(0);
            block.above[1] = row(1);
        } else {
            uint8_t* copy = saved.data() + 3 * rowBytes * b;
            const int32_t m = band_start(height, bands, b);
            for (int32_t k = 0; k < 3; ++k) std::memcpy(copy + k * rowBytes, row(m - 2 + k), static_cast<size_t>(rowBytes));
            block.above[0] = copy;
            block.above[1] = copy + rowBytes;
            call.blocks[b - 1].below = copy + 2 * rowBytes;
        }
    }
    // The last band's row below is the frame's row height - 2, which nothing rewrites.
    call.blocks[bands - 1].below = row(height - 2 < 0 ? 0 : height - 2);
    BandPool::shared().run(bands, run_in_place_band, &call);
    return true;
}

}  // namespace imvela
