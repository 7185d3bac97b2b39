// Mean 8-bit level of a rectangle, for exposure control. The caller passes one buffer as
// source and destination and the rectangle's corner as the position; the kernel reads the
// destination from that position.
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

// Shift 0 reads bytes; otherwise 16-bit samples reduced to bits Shift .. Shift + 7.
template <int Shift>
int32_t region_average(const uint8_t* base, const ImageRect& rect, int32_t x, int32_t y, uint16_t pixelBytes,
                       int32_t stride) {
    const int32_t need = Shift ? 2 : 1;
    if (!base || kernel::rect_empty(rect) || pixelBytes < need) return 0;
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    uint64_t sum = 0;
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* row = base + static_cast<ptrdiff_t>(y + j) * stride + static_cast<ptrdiff_t>(x) * pixelBytes;
        uint32_t rowSum = 0;  // at most 255 per pixel; rows are far shorter than 2^24 pixels
        if (Shift == 0 && pixelBytes == 1) {
            for (int32_t i = 0; i < width; ++i) rowSum += row[i];
        } else if (Shift != 0 && pixelBytes == 2) {
            for (int32_t i = 0; i < width; ++i) rowSum += (kernel::load16(row + 2 * i) >> Shift) & 0xFFu;
        } else {
            for (int32_t i = 0; i < width; ++i) {
                const uint8_t* p = row + static_cast<ptrdiff_t>(i) * pixelBytes;
                rowSum += Shift ? (kernel::load16(p) >> Shift) & 0xFFu : *p;
            }
        }
        sum += rowSum;
    }
    return static_cast<int32_t>(sum / (static_cast<uint64_t>(width) * static_cast<uint64_t>(height)));
}

}  // namespace

IMVELA_PIXEL_KERNEL(RegionAverage8) { return region_average<0>(dst, rect, x, y, dstPixelBytes, dstStride); }
IMVELA_PIXEL_KERNEL(RegionAverage16) { return region_average<2>(dst, rect, x, y, dstPixelBytes, dstStride); }

}  // namespace imvela::IMVELA_KERNEL_VARIANT
