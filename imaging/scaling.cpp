// Nearest-neighbour scaling for the preview: the picture is also turned upside down, so that
// memory row 0 of the source ends up at the top of a bottom-up display bitmap.
#include <algorithm>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela {
namespace {

template <int Bytes>
int32_t scale_flip(uint8_t* dst, const uint8_t* src, int32_t dstWidth, int32_t dstHeight, int32_t srcWidth,
                   int32_t srcHeight, uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride,
                   int32_t srcStride) {
    if (!dst || !src || dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return 1;
    if (dstPixelBytes < Bytes || srcPixelBytes < Bytes) return 1;
    const float rx = static_cast<float>(srcWidth) / static_cast<float>(dstWidth);
    const float ry = static_cast<float>(srcHeight) / static_cast<float>(dstHeight);
    // The source column of every destination column, in chunks so that nothing is allocated.
    constexpr int32_t kChunk = 1024;
    int32_t columns[kChunk];
    for (int32_t j0 = 0; j0 < dstWidth; j0 += kChunk) {
        const int32_t n = std::min(kChunk, dstWidth - j0);
        for (int32_t k = 0; k < n; ++k) {
            const float sx = static_cast<float>(j0 + k) * rx;
            columns[k] = std::clamp(static_cast<int32_t>(std::min(sx, 2147483520.0f)), 0, srcWidth - 1) * srcPixelBytes;
        }
        for (int32_t i = 0; i < dstHeight; ++i) {
            const float sy = static_cast<float>(i) * ry;
            const int32_t row = std::clamp(static_cast<int32_t>(std::min(sy, 2147483520.0f)), 0, srcHeight - 1);
            const uint8_t* in = src + static_cast<ptrdiff_t>(srcHeight - 1 - row) * srcStride;
            uint8_t* out = dst + static_cast<ptrdiff_t>(i) * dstStride + static_cast<ptrdiff_t>(j0) * dstPixelBytes;
            for (int32_t k = 0; k < n; ++k) std::memcpy(out + static_cast<ptrdiff_t>(k) * dstPixelBytes, in + columns[k], Bytes);
        }
    }
    return 1;
}

}  // namespace

IMVELA_SCALE_KERNEL(ScaleFlip8) {
    return scale_flip<1>(dst, src, dstWidth, dstHeight, srcWidth, srcHeight, dstPixelBytes, srcPixelBytes, dstStride,
                         srcStride);
}
IMVELA_SCALE_KERNEL(ScaleFlip24) {
    return scale_flip<3>(dst, src, dstWidth, dstHeight, srcWidth, srcHeight, dstPixelBytes, srcPixelBytes, dstStride,
                         srcStride);
}

}  // namespace imvela
