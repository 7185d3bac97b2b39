// Automatic white balance: the sums of the red, green and blue samples of a raw Bayer frame
// (of row bands too), turned into red and blue gains (balance_gains).
#include <type_traits>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

// Adds the rectangle's colour sums and counts to the block's.
template <typename T>
void sum_colours(const uint8_t* src, const ImageRect& rect, uint16_t srcPixelBytes, int32_t srcStride,
                 BayerSumsBlock* block) {
    const int32_t phase = block->phase & 3;
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    // Sums per colour: 64 bits whatever the sample size, so no frame size can overflow them.
    uint64_t green = 0, blue = 0, red = 0, greenCount = 0, blueCount = 0, redCount = 0;
    const uint64_t evenCount = static_cast<uint64_t>(width + 1) / 2, oddCount = static_cast<uint64_t>(width) / 2;
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* row = kernel::source_row(src, rect, j, srcStride, srcPixelBytes);
        uint64_t even = 0, odd = 0;
        int32_t i = 0;
        if (srcPixelBytes == sizeof(T)) {
            // Bytes add up in 32 bits in chunks that cannot overflow; words in 64 bits.
            using Acc = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;
            const T* p = reinterpret_cast<const T*>(row);
            while (i + 1 < width) {
                const int32_t end = width - i > (1 << 21) ? i + (1 << 21) : width - 1;
                Acc e = 0, o = 0;
                for (; i < end; i += 2) {
                    e += p[i];
                    o += p[i + 1];
                }
                even += e;
                odd += o;
            }
        }
        for (; i < width; ++i) {
            const uint8_t* s = row + static_cast<ptrdiff_t>(i) * srcPixelBytes;
            const uint32_t v = sizeof(T) == 1 ? *s : kernel::load16(s);
            ((i & 1) ? odd : even) += v;
        }
        // Even columns have column flag (phase >> 1); a sample is green when its flags agree.
        const int32_t rowFlag = kernel::bayer_row_flag(phase, j);
        const bool evenIsGreen = kernel::bayer_column_flag(phase, 0) == rowFlag;
        const uint64_t colour = evenIsGreen ? odd : even, colourCount = evenIsGreen ? oddCount : evenCount;
        green += evenIsGreen ? even : odd;
        greenCount += evenIsGreen ? evenCount : oddCount;
        if (rowFlag == 0) {
            blue += colour;
            blueCount += colourCount;
        } else {
            red += colour;
            redCount += colourCount;
        }
    }
    block->green += green;
    block->blue += blue;
    block->red += red;
    block->greenCount += greenCount;
    block->blueCount += blueCount;
    block->redCount += redCount;
}

template <typename T>
int32_t sums_kernel(const uint8_t* src, const ImageRect& rect, uint16_t srcPixelBytes, int32_t srcStride, void* user) {
    if (!src || !user || kernel::rect_empty(rect) || srcPixelBytes < sizeof(T)) return 1;
    sum_colours<T>(src, rect, srcPixelBytes, srcStride, static_cast<BayerSumsBlock*>(user));
    return 1;
}

// The gains keep their previous values when the frame gives nothing to divide by.
template <typename T>
int32_t measure_balance(const uint8_t* src, const ImageRect& rect, uint16_t srcPixelBytes, int32_t srcStride,
                        void* user) {
    if (!src || !user || kernel::rect_empty(rect) || srcPixelBytes < sizeof(T)) return 1;
    auto* block = static_cast<BalanceBlock*>(user);
    BayerSumsBlock sums{block->phase, 0, 0, 0, 0, 0, 0, 0};
    sum_colours<T>(src, rect, srcPixelBytes, srcStride, &sums);
    balance_gains(sums, block);
    return 1;
}

}  // namespace

IMVELA_PIXEL_KERNEL(MeasureBayerBalance8) {
    return measure_balance<uint8_t>(src, rect, srcPixelBytes, srcStride, user);
}
IMVELA_PIXEL_KERNEL(MeasureBayerBalance16) {
    return measure_balance<uint16_t>(src, rect, srcPixelBytes, srcStride, user);
}
IMVELA_PIXEL_KERNEL(SumBayerColours8) { return sums_kernel<uint8_t>(src, rect, srcPixelBytes, srcStride, user); }
IMVELA_PIXEL_KERNEL(SumBayerColours16) { return sums_kernel<uint16_t>(src, rect, srcPixelBytes, srcStride, user); }

}  // namespace imvela::IMVELA_KERNEL_VARIANT
