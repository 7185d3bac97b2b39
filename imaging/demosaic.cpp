// Bilinear Bayer demosaic: every output pixel sits at the centre of the 2 x 2 block formed by
// the raw sample and its left, upper and upper-left neighbours. Green is the mean of the two
// greens of that block; red and blue blend their four nearest samples with weights 9, 3, 3, 1.
//
// The inner kernel works in vertical strips. Within a strip, every raw row is filtered once
// horizontally (HX: the 3:1 blend of the row's red or blue samples at each output column, GP:
// the row's green sample in each column pair); every output row then adds two of those rows
// with weights 3:1. Those loops are straight array arithmetic that the compiler vectorises; the
// alternation of colours across a row lives only in the two per-row pair loops.
#include <algorithm>
#include <type_traits>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"
#include "imaging/pixel_packing.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

using kernel::load16;

// Gain factors: percent to 1/128 units. Gains outside 0..400 are limited so that no sum can
// overflow and no channel turns negative.
int32_t gain_factor(int32_t percent) {
    return static_cast<int32_t>(static_cast<double>(std::clamp(percent, 0, 400)) * 1.28);
}

template <typename T>
struct SampleTraits;
template <>
struct SampleTraits<uint8_t> {
    using Lane = int16_t;  // 16 * 255 fits
    static constexpr int32_t kMax = 255;
};
template <>
struct SampleTraits<uint16_t> {
    using Lane = int32_t;
    static constexpr int32_t kMax = 4095;
};

template <typename T>
inline int32_t sample_at(const uint8_t* row, int32_t column, uint16_t pixelBytes) {
    if constexpr (sizeof(T) == 1)
        return row[static_cast<ptrdiff_t>(column) * pixelBytes];
    else
        return load16(row + static_cast<ptrdiff_t>(column) * pixelBytes);
}

template <typename T>
inline void store_pixel(uint8_t* p, int32_t b, int32_t g, int32_t r) {
    if constexpr (sizeof(T) == 1) {
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
    } else {
        kernel::store16(p, static_cast<uint16_t>(b));
        kernel::store16(p + 2, static_cast<uint16_t>(g));
        kernel::store16(p + 4, static_cast<uint16_t>(r));
    }
}

// The formula table for one pixel; fetch(dx, dy) returns the raw sample at that offset.
template <typename Fetch>
inline void interpolate_pixel(int32_t rowFlag, int32_t columnFlag, const Fetch& P, int32_t qr, int32_t qb,
                              int32_t maxValue, int32_t& b, int32_t& g, int32_t& r) {
    int32_t sb, sr;
    if (rowFlag == columnFlag) {  // green
        g = (P(-1, -1) + P(0, 0)) >> 1;
        const int32_t across = 9 * P(-1, 0) + 3 * P(1, 0) + 3 * P(-1, -2) + P(1, -2);
        const int32_t upDown = 9 * P(0, -1) + 3 * P(-2, -1) + 3 * P(0, 1) + P(-2, 1);
        sb = rowFlag == 0 ? across : upDown;
        sr = rowFlag == 0 ? upDown : across;
    } else {  // blue (flags 0 1) or red (flags 1 0)
        g = (P(-1, 0) + P(0, -1)) >> 1;
        const int32_t self = 9 * P(0, 0) + 3 * P(-2, 0) + 3 * P(0, -2) + P(-2, -2);
        const int32_t diagonal = 9 * P(-1, -1) + 3 * P(-1, 1) + 3 * P(1, -1) + P(1, 1);
        sb = columnFlag == 1 ? self : diagonal;
        sr = columnFlag == 1 ? diagonal : self;
    }
    b = std::min((sb * qb) >> 11, maxValue);
    r = std::min((sr * qr) >> 11, maxValue);
    g = std::min(g, maxValue);
}

struct Frame : kernel::KernelArgs {
    int32_t width, height;
    int32_t phase, qr, qb;
};

// One output pixel with neighbours outside the frame taken four samples further in (which
// keeps their colour). Needs a frame of at least 4 x 4.
template <typename T>
void border_pixel(const Frame& f, int32_t px, int32_t py) {
    const auto fetch = [&](int32_t dx, int32_t dy) {
        int32_t c = px + dx, r = py + dy;
        if (c < 0) c += 4;
        if (c >= f.width) c -= 4;
        if (r < 0) r += 4;
        if (r >= f.height) r -= 4;
        return sample_at<T>(kernel::source_row(f.src, *f.rect, r, f.srcStride, f.srcPixelBytes), c, f.srcPixelBytes);
    };
    int32_t b, g, r;
    interpolate_pixel(kernel::bayer_row_flag(f.phase, py), kernel::bayer_column_flag(f.phase, px), fetch, f.qr,
                      f.qb, SampleTraits<T>::kMax, b, g, r);
    store_pixel<T>(kernel::dest_row(f.dst, f.x, f.y, py, f.dstStride, f.dstPixelBytes) +
                       static_cast<ptrdiff_t>(px) * f.dstPixelBytes,
                   b, g, r);
}

// The four outer columns (corners included), row by row: each row's raw and output lines are
// visited once, and its neighbour rows and columns are looked up once.
template <typename T>
void demosaic_border_columns(const Frame& f) {
    const int32_t w = f.width, h = f.height;
    const int32_t columns[4] = {0, 1, w - 2, w - 1};
    int32_t neighbour[4][4];  // columns px - 2 .. px + 1, four further in outside the frame
    for (int32_t i = 0; i < 4; ++i)
        for (int32_t d = 0; d < 4; ++d) {
            const int32_t c = columns[i] + d - 2;
            neighbour[i][d] = c < 0 ? c + 4 : (c >= w ? c - 4 : c);
        }
    for (int32_t py = 0; py < h; ++py) {
        const uint8_t* rows[4];  // rows py - 2 .. py + 1, likewise
        for (int32_t d = 0; d < 4; ++d) {
            const int32_t r = py + d - 2;
            rows[d] = kernel::source_row(f.src, *f.rect, r < 0 ? r + 4 : (r >= h ? r - 4 : r), f.srcStride,
                                         f.srcPixelBytes);
        }
        uint8_t* out = kernel::dest_row(f.dst, f.x, f.y, py, f.dstStride, f.dstPixelBytes);
        const int32_t rowFlag = kernel::bayer_row_flag(f.phase, py);
        for (int32_t i = 0; i < 4; ++i) {
            const auto fetch = [&](int32_t dx, int32_t dy) {
                return sample_at<T>(rows[dy + 2], neighbour[i][dx + 2], f.srcPixelBytes);
            };
            int32_t b, g, r;
            interpolate_pixel(rowFlag, kernel::bayer_column_flag(f.phase, columns[i]), fetch, f.qr, f.qb,
                              SampleTraits<T>::kMax, b, g, r);
            store_pixel<T>(out + static_cast<ptrdiff_t>(columns[i]) * f.dstPixelBytes, b, g, r);
        }
    }
}

template <typename T>
void demosaic_border(const Frame& f) {
    const int32_t w = f.width, h = f.height;
    for (int32_t py : {0, 1, h - 2, h - 1})
        for (int32_t px = 0; px < w; ++px) border_pixel<T>(f, px, py);
    demosaic_border_columns<T>(f);
}

// Inner area one pixel at a time: for sources whose samples are not packed.
template <typename T>
void demosaic_inner_generic(const Frame& f) {
    for (int32_t py = 2; py < f.height - 2; ++py) {
        const int32_t rowFlag = kernel::bayer_row_flag(f.phase, py);
        for (int32_t px = 2; px < f.width - 2; ++px) {
            const auto fetch = [&](int32_t dx, int32_t dy) {
                return sample_at<T>(kernel::source_row(f.src, *f.rect, py + dy, f.srcStride, f.srcPixelBytes),
                                    px + dx, f.srcPixelBytes);
            };
            int32_t b, g, r;
            interpolate_pixel(rowFlag, kernel::bayer_column_flag(f.phase, px), fetch, f.qr, f.qb,
                              SampleTraits<T>::kMax, b, g, r);
            store_pixel<T>(kernel::dest_row(f.dst, f.x, f.y, py, f.dstStride, f.dstPixelBytes) +
                               static_cast<ptrdiff_t>(px) * f.dstPixelBytes,
                           b, g, r);
        }
    }
}

constexpr int32_t kStrip = 1536;  // output columns per strip: a whole sensor row
constexpr int32_t kChunk = 320;   // output columns made in one go (even)

// Horizontal pass of one raw row over output columns x0 .. x0 + n - 1 (n even or odd):
// hx[i] = 3:1 blend of the row's red/blue samples nearest to the block centre of column x0 + i,
// gp[i] = the row's green sample among columns x0 + i - 1 and x0 + i.
// `p` points at the raw sample of column x0; `first` is 1 when column x0 holds red/blue.
template <typename T, typename Lane>
void filter_row(const T* __restrict p, int32_t n, int32_t first, Lane* __restrict hx, Lane* __restrict gp) {
    const int32_t pairs = n / 2;
    if (first) {  // column x0 red/blue, x0 + 1 green
        for (int32_t k = 0; k < pairs; ++k) {
            const int32_t c = 2 * k;
            hx[c] = static_cast<Lane>(3 * p[c] + p[c - 2]);
            hx[c + 1] = static_cast<Lane>(3 * p[c] + p[c + 2]);
            gp[c] = static_cast<Lane>(p[c - 1]);
            gp[c + 1] = static_cast<Lane>(p[c + 1]);
        }
    } else {  // column x0 green, x0 + 1 red/blue
        for (int32_t k = 0; k < pairs; ++k) {
            const int32_t c = 2 * k;
            hx[c] = static_cast<Lane>(3 * p[c - 1] + p[c + 1]);
            hx[c + 1] = static_cast<Lane>(3 * p[c + 1] + p[c - 1]);
            gp[c] = static_cast<Lane>(p[c]);
            gp[c + 1] = static_cast<Lane>(p[c]);
        }
    }
    if (n & 1) {
        const int32_t c = n - 1;
        const bool colour = ((c & 1) == 0) == (first != 0);
        hx[c] = static_cast<Lane>(colour ? 3 * p[c] + p[c - 2] : 3 * p[c - 1] + p[c + 1]);
        gp[c] = static_cast<Lane>(colour ? p[c - 1] : p[c]);
    }
}

// Output row from the filtered rows: `same`/`sameUp` are the HX of rows y and y - 2 (colour of
// row y), `above`/`below` the HX of rows y - 1 and y + 1, `green0`/`green1` the GP of rows y and y - 1.
template <typename Lane>
struct RowSources {
    const Lane* same;
    const Lane* sameUp;
    const Lane* above;
    const Lane* below;
    const Lane* green0;
    const Lane* green1;
};

// One output row as three planes (blue, green, red) of n samples.
template <typename S>
struct Planes {
    S* blue;
    S* green;
    S* red;
};

// 8-bit. (sum * q) >> 11 == (sum * (q << 5)) >> 16: sums <= 4080 and q << 5 <= 16384 stay in
// 16 bits, so the arithmetic stays in 16-bit lanes.
// Kept out of line: its int16 factors then stay 16-bit, and the products map to high-half
// multiplies.
__attribute__((noinline)) void combine_planes8(const int16_t* __restrict a, const int16_t* __restrict a2,
                                               const int16_t* __restrict b, const int16_t* __restrict b2, const int16_t* __restrict g0, const int16_t* __restrict g1,
                     int32_t n, int16_t qSame, int16_t qOther, uint8_t* __restrict same, uint8_t* __restrict other,
                     uint8_t* __restrict green) {
    for (int32_t i = 0; i < n; ++i) {
        const int16_t sumSame = static_cast<int16_t>(3 * a[i] + a2[i]);
        const int16_t sumOther = static_cast<int16_t>(3 * b[i] + b2[i]);
        int16_t vSame = static_cast<int16_t>((static_cast<int32_t>(sumSame) * qSame) >> 16);
        int16_t vOther = static_cast<int16_t>((static_cast<int32_t>(sumOther) * qOther) >> 16);
        vSame = vSame > 255 ? int16_t(255) : vSame;
        vOther = vOther > 255 ? int16_t(255) : vOther;
        same[i] = static_cast<uint8_t>(vSame);
        other[i] = static_cast<uint8_t>(vOther);
        green[i] = static_cast<uint8_t>((g0[i] + g1[i]) >> 1);
    }
}

void combine_row8(const RowSources<int16_t>& s, int32_t n, bool rowIsBlue, int32_t qr, int32_t qb,
                  const Planes<uint8_t>& out) {
    combine_planes8(s.same, s.sameUp, s.above, s.below, s.green0, s.green1, n,
                    static_cast<int16_t>((rowIsBlue ? qb : qr) << 5), static_cast<int16_t>((rowIsBlue ? qr : qb) << 5),
                    rowIsBlue ? out.blue : out.red, rowIsBlue ? out.red : out.blue, out.green);
}

// 16-bit: channels limited to 4095.
void combine_row16(const RowSources<int32_t>& s, int32_t n, bool rowIsBlue, int32_t qr, int32_t qb,
                   const Planes<uint16_t>& out) {
    const int32_t qSame = rowIsBlue ? qb : qr;
    const int32_t qOther = rowIsBlue ? qr : qb;
    const int32_t* __restrict a = s.same;
    const int32_t* __restrict a2 = s.sameUp;
    const int32_t* __restrict b = s.above;
    const int32_t* __restrict b2 = s.below;
    const int32_t* __restrict g0 = s.green0;
    const int32_t* __restrict g1 = s.green1;
    uint16_t* __restrict same = rowIsBlue ? out.blue : out.red;
    uint16_t* __restrict other = rowIsBlue ? out.red : out.blue;
    uint16_t* __restrict green = out.green;
    for (int32_t i = 0; i < n; ++i) {
        same[i] = static_cast<uint16_t>(std::min(((3 * a[i] + a2[i]) * qSame) >> 11, 4095));
        other[i] = static_cast<uint16_t>(std::min(((3 * b[i] + b2[i]) * qOther) >> 11, 4095));
        green[i] = static_cast<uint16_t>(std::min((g0[i] + g1[i]) >> 1, 4095));
    }
}

// Writes the planes as pixels of `pixelBytes` bytes: three samples each, a fourth sample
// left as it was.
template <typename S>
void store_row(uint8_t* out, const Planes<S>& p, int32_t n, uint16_t pixelBytes) {
    if (pixelBytes == 3 * sizeof(S)) {
        kernel::interleave3(out, p.blue, p.green, p.red, n);
        return;
    }
    if (pixelBytes == 4 * sizeof(S)) {
        // Whole pixels as words (rows of these buffers are word aligned), fourth sample kept.
        using Word = std::conditional_t<sizeof(S) == 1, uint32_t, uint64_t>;
        constexpr int kBits = 8 * sizeof(S);
        constexpr Word kFourth = Word(~Word(0)) << (3 * kBits);
        Word* __restrict words = reinterpret_cast<Word*>(out);
        const S* __restrict b = p.blue;
        const S* __restrict g = p.green;
        const S* __restrict r = p.red;
        for (int32_t i = 0; i < n; ++i)
            words[i] = (words[i] & kFourth) | Word(b[i]) | (Word(g[i]) << kBits) | (Word(r[i]) << (2 * kBits));
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        const S pixel[3] = {p.blue[i], p.green[i], p.red[i]};
        std::memcpy(out + static_cast<ptrdiff_t>(i) * pixelBytes, pixel, sizeof pixel);
    }
}

// Output rows y0 .. y1 - 1, columns 2 .. width - 3, from packed samples. Row u of the frame
// is read from raw row map(u): the identity for the inner area, four rows further in for
// rows outside the frame (the border rule), which keeps every row's colours.
//
// Each output row is made in chunks of kChunk columns: filter the next raw row's chunk, combine,
// store. Frames straight from the ring are rarely in the caches, and spreading the loads and
// stores over the row's arithmetic lets the memory work overlap it instead of stalling on a
// burst; each chunk also asks ahead for its part of the next output row, whose lines a store
// must own before writing them.
template <typename T, typename MapRow>
void demosaic_packed(const Frame& f, int32_t y0, int32_t y1, const MapRow& map) {
    using Lane = typename SampleTraits<T>::Lane;
    // Filtered rows of the four rows y - 2 .. y + 1 in a ring indexed by row & 3.
    Lane hx[4][kStrip];
    Lane gp[4][kStrip];
    T planes[3][kChunk];
    const Planes<T> out{planes[0], planes[1], planes[2]};
    const int32_t ph1 = (f.phase >> 1) & 1;
    const auto raw_row = [&](int32_t u) {
        return reinterpret_cast<const T*>(kernel::source_row(f.src, *f.rect, map(u), f.srcStride, f.srcPixelBytes));
    };
    for (int32_t x0 = 2; x0 < f.width - 2; x0 += kStrip) {
        const int32_t n = std::min(kStrip, f.width - 2 - x0);
        // Columns c0 .. c0 + m - 1 of the strip (c0 even) of raw row u. Column x0 holds red/blue
        // in a raw row when its column flag differs from the row flag.
        const auto filter = [&](int32_t u, int32_t c0, int32_t m) {
            const int32_t first = (ph1 ^ (x0 & 1)) != kernel::bayer_row_flag(f.phase, map(u)) ? 1 : 0;
            filter_row<T, Lane>(raw_row(u) + x0 + c0, m, first, hx[u & 3] + c0, gp[u & 3] + c0);
        };
        for (int32_t u = y0 - 2; u < y0 + 1; ++u) filter(u, 0, n);
        for (int32_t py = y0; py < y1; ++py) {
            const bool rowIsBlue = kernel::bayer_row_flag(f.phase, py) == 0;
            uint8_t* row = kernel::dest_row(f.dst, f.x, f.y, py, f.dstStride, f.dstPixelBytes) +
                           static_cast<ptrdiff_t>(x0) * f.dstPixelBytes;
            uint8_t* next = py + 1 < y1 ? row + f.dstStride : nullptr;
            for (int32_t c0 = 0; c0 < n; c0 += kChunk) {
                const int32_t m = std::min(kChunk, n - c0);
                if (next)
                    for (int32_t b = c0 * f.dstPixelBytes; b < (c0 + m) * f.dstPixelBytes; b += 64)
                        __builtin_prefetch(next + b, 1);
                filter(py + 1, c0, m);
                const RowSources<Lane> s{hx[py & 3] + c0,       hx[(py - 2) & 3] + c0, hx[(py - 1) & 3] + c0,
                                         hx[(py + 1) & 3] + c0, gp[py & 3] + c0,       gp[(py - 1) & 3] + c0};
                if constexpr (sizeof(T) == 1)
                    combine_row8(s, m, rowIsBlue, f.qr, f.qb, out);
                else
                    combine_row16(s, m, rowIsBlue, f.qr, f.qb, out);
                store_row(row + static_cast<ptrdiff_t>(c0) * f.dstPixelBytes, out, m, f.dstPixelBytes);
            }
        }
    }
}

template <typename T>
void demosaic_inner_packed(const Frame& f) {
    demosaic_packed<T>(f, 2, f.height - 2, [](int32_t u) { return u; });
}

// The border strips of a packed frame wider than 4: the four outer rows through the row
// filters with their neighbours folded in, then the four outer columns (corners included)
// pixel by pixel.
template <typename T>
void demosaic_border_packed(const Frame& f) {
    const int32_t h = f.height;
    demosaic_packed<T>(f, 0, 2, [](int32_t u) { return u < 0 ? u + 4 : u; });
    demosaic_packed<T>(f, h - 2, h, [h](int32_t u) { return u >= h ? u - 4 : u; });
    demosaic_border_columns<T>(f);
}

template <typename T>
bool make_frame(Frame& f, uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,
                uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride, void* user) {
    if (!dst || !src || !user || kernel::rect_empty(rect)) return false;
    if (srcPixelBytes < sizeof(T) || dstPixelBytes < 3 * sizeof(T)) return false;
    const auto* block = static_cast<const DemosaicBlock*>(user);
    f = Frame{IMVELA_KERNEL_ARGS, kernel::rect_width(rect), kernel::rect_height(rect), block->phase & 3,
              gain_factor(block->redGain), gain_factor(block->blueGain)};
    return true;
}

template <typename T>
int32_t demosaic_inner(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,
                       uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride,
                       void* user) {
    Frame f;
    if (!make_frame<T>(f, dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user)) return 1;
    if (f.width <= 4 || f.height <= 4) return 1;
    if (srcPixelBytes == sizeof(T))
        demosaic_inner_packed<T>(f);
    else
        demosaic_inner_generic<T>(f);
    return 1;
}

template <typename T>
int32_t demosaic_border_kernel(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,
                               uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride,
                               int32_t srcStride, void* user) {
    Frame f;
    if (!make_frame<T>(f, dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user)) return 1;
    // Smaller frames would need neighbours that do not exist: they stay undemosaiced.
    if (f.width < 4 || f.height < 4) return 1;
    if (srcPixelBytes == sizeof(T) && f.width > 4)
        demosaic_border_packed<T>(f);
    else
        demosaic_border<T>(f);
    return 1;
}

}  // namespace

IMVELA_PIXEL_KERNEL(DemosaicBayer8) {
    return demosaic_inner<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user);
}
IMVELA_PIXEL_KERNEL(DemosaicBayer16) {
    return demosaic_inner<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user);
}
IMVELA_PIXEL_KERNEL(DemosaicBayerBorder8) {
    return demosaic_border_kernel<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride,
                                           user);
}
IMVELA_PIXEL_KERNEL(DemosaicBayerBorder16) {
    return demosaic_border_kernel<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride,
                                            srcStride, user);
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
