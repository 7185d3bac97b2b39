// Raw frames arrive packed (rows of width x pixel size bytes, one after another); the buffer
// wants each row to start at a multiple of its stride. Rows are moved from the last to the
// first, so no row is overwritten before it has been moved: row r's packed bytes end at or
// before where row r + 1's padded bytes begin.
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela {
namespace {

int32_t repad(uint8_t* base, const ImageRect& rect, int32_t x, int32_t y, uint16_t pixelBytes, int32_t stride,
              uint16_t expected) {
    if (!base || kernel::rect_empty(rect) || pixelBytes != expected) return 1;
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(kernel::rect_width(rect)) * pixelBytes;
    if (rowBytes > stride) return 1;  // the packed rows would not fit the padded layout
    for (int32_t r = kernel::rect_height(rect) - 1; r >= 0; --r)
        std::memmove(kernel::dest_row(base, x, y, r, stride, pixelBytes), base + r * rowBytes, static_cast<size_t>(rowBytes));
    return 1;
}

}  // namespace

IMVELA_PIXEL_KERNEL(RepadRows8) { return repad(dst, rect, x, y, dstPixelBytes, dstStride, 1); }
IMVELA_PIXEL_KERNEL(RepadRows16) { return repad(dst, rect, x, y, dstPixelBytes, dstStride, 2); }

}  // namespace imvela
