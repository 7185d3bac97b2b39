// Pixel format conversions: reduce 16-bit samples to 8 bits, widen 12- or 10-bit samples to
// the full 16-bit range, reorder channels, drop or invert the fourth byte, flip rows.
// Destination row j comes from source row top + j, or bottom - 1 - j for the flipping kernels.
#include <algorithm>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"
#include "imaging/pixel_packing.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

using kernel::load16;
using kernel::store16;

using Rows = kernel::KernelArgs;

inline const uint8_t* input_row(const Rows& g, int32_t j, bool flip) {
    const int32_t row = flip ? kernel::rect_height(*g.rect) - 1 - j : j;
    return kernel::source_row(g.src, *g.rect, row, g.srcStride, g.srcPixelBytes);
}

// Runs pixel(out, in) over the rectangle. D and S are the pixel sizes when known at compile
// time (0 = take them from the arguments), so that the common layouts get tight loops.
template <int D, int S, typename Pixel>
void for_each_pixel(const Rows& g, bool flip, const Pixel& pixel) {
    const ptrdiff_t dStep = D ? D : g.dstPixelBytes, sStep = S ? S : g.srcPixelBytes;
    const int32_t width = kernel::rect_width(*g.rect), height = kernel::rect_height(*g.rect);
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = input_row(g, j, flip);
        uint8_t* out = kernel::dest_row(g.dst, g.x, g.y, j, g.dstStride, g.dstPixelBytes);
        for (int32_t i = 0; i < width; ++i) pixel(out + i * dStep, in + i * sStep);
    }
}

template <int D, int S, typename Pixel>
void dispatch(const Rows& g, bool flip, const Pixel& pixel) {
    if (g.dstPixelBytes == D && g.srcPixelBytes == S)
        for_each_pixel<D, S>(g, flip, pixel);
    else
        for_each_pixel<0, 0>(g, flip, pixel);
}

bool usable(const Rows& g, int32_t dstBytes, int32_t srcBytes) {
    return g.dst && g.src && !kernel::rect_empty(*g.rect) && g.dstPixelBytes >= dstBytes && g.srcPixelBytes >= srcBytes;
}

// Rows of 3-byte pixels, each made as a word (blue | green << 8 | red << 16) by word(in, last):
// groups of eight pixels are read first and then written as three 64-bit stores (so the kernel
// also works in place); the remaining pixels go through 4-byte stores whose fourth byte the
// next pixel rewrites, the row's last pixel exactly. `last` says that the word may not read
// past its own pixel.
template <typename Word>
void pack_rows24(const Rows& g, bool flip, const Word& word) {
    const int32_t width = kernel::rect_width(*g.rect), height = kernel::rect_height(*g.rect);
    const ptrdiff_t sStep = g.srcPixelBytes;
    const auto store64 = [](uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); };
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = input_row(g, j, flip);
        uint8_t* out = kernel::dest_row(g.dst, g.x, g.y, j, g.dstStride, g.dstPixelBytes);
        int32_t i = 0;
        for (; i + 8 < width; i += 8) {
            uint64_t w[8];
            for (int32_t k = 0; k < 8; ++k) w[k] = word(in + (i + k) * sStep, false) & 0xFFFFFFu;
            store64(out + 3 * i, w[0] | (w[1] << 24) | (w[2] << 48));
            store64(out + 3 * i + 8, (w[2] >> 16) | (w[3] << 8) | (w[4] << 32) | (w[5] << 56));
            store64(out + 3 * i + 16, (w[5] >> 8) | (w[6] << 16) | (w[7] << 40));
        }
        for (; i + 1 < width; ++i) {
            const uint32_t v = word(in + i * sStep, false);
            std::memcpy(out + 3 * i, &v, 4);
        }
        const uint32_t v = word(in + (width - 1) * sStep, true);
        std::memcpy(out + 3 * (width - 1), &v, 3);
    }
}

// 8-bit blue, green, red of a 24/32-bit pixel as a word.
inline uint32_t bgr_word(const uint8_t* p, bool last) {
    uint32_t v = 0;
    std::memcpy(&v, p, last ? 3 : 4);
    return v;
}

// Rows of 3-byte pixels from 3- or 4-byte pixels by a row function, where one exists.
template <typename Row>
bool rows24(const Rows& g, bool flip, const Row& row) {
    const int32_t width = kernel::rect_width(*g.rect), height = kernel::rect_height(*g.rect);
    for (int32_t j = 0; j < height; ++j) row(kernel::dest_row(g.dst, g.x, g.y, j, g.dstStride, 3), input_row(g, j, flip), width);
    return true;
}

int32_t to_bgr24(const Rows& g, bool flip) {
    if (!usable(g, 3, 3)) return 1;
    if (g.dstPixelBytes == 3 && g.srcPixelBytes == 4)
        rows24(g, flip, [](uint8_t* out, const uint8_t* in, int32_t n) { kernel::pack32to24(out, in, n, false); });
    else if (g.dstPixelBytes == 3 && g.srcPixelBytes == 3)
        rows24(g, flip, [](uint8_t* out, const uint8_t* in, int32_t n) { std::memmove(out, in, 3 * static_cast<size_t>(n)); });
    else if (g.dstPixelBytes == 3)
        pack_rows24(g, flip, bgr_word);
    else
        for_each_pixel<0, 0>(g, flip, [](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 3); });
    return 1;
}

template <int Shift>
int32_t reduce_mono(const Rows& g, bool flip) {
    if (!usable(g, 1, 2)) return 1;
    if (g.dstPixelBytes == 1 && g.srcPixelBytes == 2) {
        // Packed rows: one byte per 16-bit sample, as a vector loop over the row.
        // A flip walks the source forward and the destination backward: reads that run down
        // through memory keep the processor's prefetch ahead of them, backward ones do not.
        const int32_t width = kernel::rect_width(*g.rect), height = kernel::rect_height(*g.rect);
        const bool backward = flip && g.dst != g.src;
        for (int32_t k = 0; k < height; ++k) {
            const int32_t j = backward ? height - 1 - k : k;
            const uint16_t* __restrict words = reinterpret_cast<const uint16_t*>(input_row(g, j, flip));
            uint8_t* __restrict out = kernel::dest_row(g.dst, g.x, g.y, j, g.dstStride, 1);
            for (int32_t i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(words[i] >> Shift);
        }
        return 1;
    }
    for_each_pixel<0, 0>(g, flip, [](uint8_t* d, const uint8_t* s) { *d = static_cast<uint8_t>(load16(s) >> Shift); });
    return 1;
}

template <int Shift>
inline uint32_t reduced_word(const uint8_t* p, bool) {
    return (static_cast<uint32_t>(load16(p) >> Shift) & 0xFF) | ((static_cast<uint32_t>(load16(p + 2) >> Shift) & 0xFF) << 8) |
           ((static_cast<uint32_t>(load16(p + 4) >> Shift) & 0xFF) << 16);
}

template <int Shift>
int32_t reduce_color(const Rows& g, bool flip) {
    if (!usable(g, 3, 6)) return 1;
    if (g.dstPixelBytes == 3 && g.srcPixelBytes == 6) {
        // Packed rows: every 16-bit sample becomes one byte, in order.
        rows24(g, flip, [](uint8_t* __restrict out, const uint8_t* in, int32_t n) {
            const uint16_t* __restrict words = reinterpret_cast<const uint16_t*>(in);
            for (int32_t k = 0; k < 3 * n; ++k) out[k] = static_cast<uint8_t>(words[k] >> Shift);
        });
    } else if (g.dstPixelBytes == 3) {
        pack_rows24(g, flip, reduced_word<Shift>);
    } else {
        for_each_pixel<0, 0>(g, flip, [](uint8_t* d, const uint8_t* s) {
            const uint32_t v = reduced_word<Shift>(s, true);
            std::memcpy(d, &v, 3);
        });
    }
    return 1;
}

template <int Shift>
int32_t expand_mono(const Rows& g) {
    if (!usable(g, 2, 2)) return 1;
    dispatch<2, 2>(g, false, [](uint8_t* d, const uint8_t* s) { store16(d, static_cast<uint16_t>(load16(s) << Shift)); });
    return 1;
}

// Widens blue, green, red (red first when Swap); Alpha writes 0xFFFF into the fourth word.
template <int Shift, bool Swap, bool Alpha>
int32_t expand_color(const Rows& g) {
    const int32_t bytes = Alpha ? 8 : 6;
    if (!usable(g, bytes, bytes)) return 1;
    const auto pixel = [](uint8_t* d, const uint8_t* s) {
        const uint16_t b = static_cast<uint16_t>(load16(s) << Shift);
        const uint16_t gr = static_cast<uint16_t>(load16(s + 2) << Shift);
        const uint16_t r = static_cast<uint16_t>(load16(s + 4) << Shift);
        store16(d, Swap ? r : b);
        store16(d + 2, gr);
        store16(d + 4, Swap ? b : r);
        if (Alpha) store16(d + 6, 0xFFFF);
    };
    dispatch<bytes, bytes>(g, false, pixel);
    return 1;
}

}  // namespace

#define IMVELA_ROWS IMVELA_KERNEL_ARGS

IMVELA_PIXEL_KERNEL(FlipRows) {
    const Rows g = IMVELA_ROWS;
    if (!usable(g, 1, 1)) return 1;
    // Whole rows from the rectangle's left column, but never past the end of either row.
    const ptrdiff_t dstRoom = dstStride - static_cast<ptrdiff_t>(x) * dstPixelBytes;
    const ptrdiff_t srcRoom = srcStride - static_cast<ptrdiff_t>(rect.left) * srcPixelBytes;
    const ptrdiff_t bytes = std::min(dstRoom, srcRoom);
    if (bytes <= 0) return 1;
    for (int32_t j = 0; j < kernel::rect_height(rect); ++j)
        std::memmove(kernel::dest_row(dst, x, y, j, dstStride, dstPixelBytes), input_row(g, j, true),
                     static_cast<size_t>(bytes));
    return 1;
}

IMVELA_PIXEL_KERNEL(FlipRows24) { return to_bgr24(IMVELA_ROWS, true); }
IMVELA_PIXEL_KERNEL(Drop32To24) { return to_bgr24(IMVELA_ROWS, false); }
IMVELA_PIXEL_KERNEL(Shift16To8) { return reduce_mono<4>(IMVELA_ROWS, false); }
IMVELA_PIXEL_KERNEL(ReduceMono16Flip12) { return reduce_mono<4>(IMVELA_ROWS, true); }
IMVELA_PIXEL_KERNEL(ReduceMono16Flip10) { return reduce_mono<2>(IMVELA_ROWS, true); }
IMVELA_PIXEL_KERNEL(Shift48To24) { return reduce_color<4>(IMVELA_ROWS, false); }
IMVELA_PIXEL_KERNEL(ReduceColor16Flip10) { return reduce_color<2>(IMVELA_ROWS, true); }
IMVELA_PIXEL_KERNEL(ReduceColor16Flip12) { return reduce_color<4>(IMVELA_ROWS, true); }
IMVELA_PIXEL_KERNEL(ExpandMono16By4) { return expand_mono<4>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandMono16By6) { return expand_mono<6>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor48By4) { return expand_color<4, false, false>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor48By6) { return expand_color<6, false, false>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor48SwapBy4) { return expand_color<4, true, false>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor48SwapBy6) { return expand_color<6, true, false>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor64By4) { return expand_color<4, false, true>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor64By6) { return expand_color<6, false, true>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor64SwapBy4) { return expand_color<4, true, true>(IMVELA_ROWS); }
IMVELA_PIXEL_KERNEL(ExpandColor64SwapBy6) { return expand_color<6, true, true>(IMVELA_ROWS); }

IMVELA_PIXEL_KERNEL(SwapRedBlue24) {
    const Rows g = IMVELA_ROWS;
    if (!usable(g, 3, 3)) return 1;
    if (dstPixelBytes == 3 && srcPixelBytes == 3) {
        rows24(g, false, [](uint8_t* out, const uint8_t* in, int32_t n) { kernel::swap24(out, in, n); });
        return 1;
    }
    if (dstPixelBytes == 3 && srcPixelBytes == 4) {
        rows24(g, false, [](uint8_t* out, const uint8_t* in, int32_t n) { kernel::pack32to24(out, in, n, true); });
        return 1;
    }
    if (dstPixelBytes == 3) {
        pack_rows24(g, false, [](const uint8_t* p, bool last) {
            const uint32_t v = bgr_word(p, last);
            return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        });
        return 1;
    }
    const auto pixel = [](uint8_t* d, const uint8_t* s) {
        const uint8_t b = s[0], gr = s[1], r = s[2];
        d[0] = r;
        d[1] = gr;
        d[2] = b;
    };
    if (dstPixelBytes == 4 && srcPixelBytes == 4)
        for_each_pixel<4, 4>(g, false, pixel);
    else
        for_each_pixel<0, 0>(g, false, pixel);
    return 1;
}

IMVELA_PIXEL_KERNEL(InvertAlpha32) {
    const Rows g = IMVELA_ROWS;
    if (!usable(g, 4, 4)) return 1;
    dispatch<4, 4>(g, false, [](uint8_t* d, const uint8_t* s) {
        uint32_t v;
        std::memcpy(&v, s, 4);
        v ^= 0xFF000000u;  // 255 - a == a XOR 255 for a byte
        std::memcpy(d, &v, 4);
    });
    return 1;
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
