#include "imaging/row_bands.h"

#include <algorithm>

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

void run_band(void* context, int32_t b) {
    const auto& call = *static_cast<const BandedCall*>(context);
    const int32_t height = call.target->height();
    int32_t top = band_start(height, call.bands, b), bottom = band_start(height, call.bands, b + 1);
    if (call.shape == BandShape::TwoBelow) {
        // The kernel computes rows top + 2 .. bottom - 3 of its rectangle.
        top = std::max(0, top - 2);
        bottom = std::min(height, bottom + 2);
    }
    const ImageRect rect{0, top, call.source->width(), bottom};
    call.kernel(call.target->bits(), call.source->bits(), rect, 0, top, call.target->bytes_per_pixel(),
                call.source->bytes_per_pixel(), call.target->stride(), call.source->stride(), call.block, 0);
}

}  // namespace

int32_t apply_in_bands(PixelKernel kernel, CImageBuffer& target, const CImageBuffer& source, void* block,
                       BandShape shape, int32_t bands) {
    const int32_t height = target.height();
    bands = std::min(bands, height / kMinBandRows);
    if (bands <= 1 || !kernel || !target.has_pixels() || !source.has_pixels() || source.width() != target.width() ||
        source.height() != height)
        return target.Apply(kernel, source, nullptr, 0, 0, block);
    BandedCall call{kernel, &target, &source, block, shape, bands};
    BandPool::shared().run(bands, run_band, &call);
    return 1;
}

}  // namespace imvela
