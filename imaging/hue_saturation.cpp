// Hue rotation and saturation in integer arithmetic: each pixel is split into its gray level,
// its chroma and its position on the 1530-step hue ring; the hue offset moves it round the ring
// and the saturation scales the chroma.
//
// The chroma of a saturation is one multiply per pixel, so two cameras adjusting hue at once
// with different saturations never share state.
#include <algorithm>
#include <type_traits>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"
#include "imaging/pixel_packing.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

struct HueOffset {
    int32_t sector;
    int32_t fraction;
};

HueOffset hue_offset(int32_t hue) {
    const int64_t scaled = static_cast<int64_t>(hue) * 65536 / 360;
    const int32_t q = static_cast<int32_t>(static_cast<uint64_t>(scaled) & 0xFFFFu);
    const int32_t u = (q * 6) >> 8;
    const int32_t k = ((u + 256) >> 9) % 3;
    int32_t a = u % 512;
    if (a >= 256) a -= 512;
    int32_t offset = a + 510 * k;
    if (offset < 0) offset += 1530;
    if (offset >= 1530) offset -= 1530;
    return {offset / 255, offset % 255};
}

// The chroma factor of a saturation: chroma(d) = (0x8000 + d * factor) >> 16 for d in 0..255.
// Saturations below -256 would turn the chroma negative; very large ones would overflow: both
// are limited (255 * factor + 0x8000 stays below 2^31).
int32_t chroma_factor(int32_t saturation) { return (std::clamp(saturation, -256, 32000) + 256) * 256; }

// Pixels of 8-bit channels, over planes of up to kStrip pixels; each result is
// blue | green << 8 | red << 16. Written without branches and without table reads, so that
// random pictures cost no mispredictions and the compiler keeps every step in vector lanes.
// A gray pixel (d = 0) needs no special case here: its chroma and hue position are 0, so its
// span is 0 and the hue term adds nothing.
constexpr int32_t kStrip = 256;

// The hue position's reciprocal floor(0xFF0000 / d) for d in 1..255, as a single-precision
// quotient truncated: 0xFF0000 and d are exact floats, the quotient is correctly rounded, and
// for no d does the rounding reach the next integer (checked for every d), so it truncates to
// the integer quotient. A division per lane where a table would be a load per lane.
inline int32_t hue_reciprocal(int32_t d) { return static_cast<int32_t>(16711680.0f / static_cast<float>(d)); }

#if !defined(__SSE4_1__)
// Without SSE4.1 there is no 32-bit lane multiply, so the loop gains little from vector lanes;
// there the reciprocal and each sector's channels come from small tables, which cost less than
// the division and the variable shifts done one lane at a time. Same results: hue_reciprocal(d)
// equals 0xFF0000 / d for every d in 1..255.
struct ReciprocalTable {
    uint32_t of[256];
};
constexpr ReciprocalTable make_reciprocals() {
    ReciprocalTable t{};
    for (uint32_t d = 1; d < 256; ++d) t.of[d] = 0xFF0000u / d;
    return t;
}
constexpr ReciprocalTable kReciprocal = make_reciprocals();
// Per sector 0..5: the channels at full chroma, and the ramped channel's place (negative where
// it ramps down from full chroma).
constexpr uint32_t kSectorFull[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
constexpr int32_t kSectorRamp[6] = {-1, 256, -65536, 1, -256, 65536};
#endif

// v << n for n in 0..16 in vector lanes. Processors before AVX2 have no per-lane shift count:
// there it is a multiply by 2^n, made from the exponent bits of a float.
inline uint32_t shift_left(uint32_t v, int32_t n) {
#if defined(__AVX2__)
    return v << n;
#else
    const int32_t bits = (n + 127) << 23;
    float power;
    std::memcpy(&power, &bits, sizeof power);
    return v * static_cast<uint32_t>(static_cast<int32_t>(power));
#endif
}

void adjust_strip(const int32_t* __restrict B, const int32_t* __restrict G, const int32_t* __restrict R, int32_t n,
                  int32_t chromaFactor, HueOffset hue, uint32_t* __restrict words) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t b = B[i], g = G[i], r = R[i];
        const bool redTop = r >= g;
        int32_t top = redTop ? r : g;
        const int32_t other = redTop ? g : r;
        int32_t base = redTop ? 1 : 3;
        int32_t e = redTop ? g - b : b - r;
        const bool blueTop = b > top;
        top = blueTop ? b : top;
        base = blueTop ? 5 : base;
        e = blueTop ? r - g : e;
        const int32_t low = std::min(other, b);
        const int32_t d = top - low;
        const int32_t L = top + low;
        base = e < 0 ? base - 1 : base;
        e = e < 0 ? e + d : e;
        const int32_t S = std::min((0x8000 + d * chromaFactor) >> 16, std::min(L, 511 - L));
        const int32_t lo = (L - S) >> 1;
        const int32_t span = ((S + L) >> 1) - lo;
#if defined(__SSE4_1__)
        const auto reciprocal = static_cast<uint32_t>(hue_reciprocal(std::max(d, 1)));
#else
        const uint32_t reciprocal = kReciprocal.of[d];
#endif
        int32_t f = static_cast<int32_t>((reciprocal * static_cast<uint32_t>(e) + 0x8000u) >> 16) + hue.fraction;
        int32_t sector = base + hue.sector;
        sector = f >= 255 ? sector + 1 : sector;
        f = f >= 255 ? f - 255 : f;
        // Sector 0..11 as 0..5. Each sector keeps one channel at full chroma (red in 0 and
        // 1, green in 2 and 3, blue in 4 and 5) and ramps another (blue, green, red, blue,
        // green, red), down in the even sectors and up in the odd ones.
        sector = sector >= 6 ? sector - 6 : sector;
        const int32_t ramp = (span * f + 128) >> 8;
#if defined(__SSE4_1__)
        const int32_t rampChannel = sector >= 3 ? sector - 3 : sector;
        const int32_t rampLevel = (sector & 1) == 0 ? span - ramp : ramp;
        words[i] = static_cast<uint32_t>(lo) * 0x010101u + shift_left(static_cast<uint32_t>(span), 16 - 8 * (sector >> 1)) +
                   shift_left(static_cast<uint32_t>(rampLevel), 8 * rampChannel);
#else
        words[i] = static_cast<uint32_t>(lo) * 0x010101u + ((static_cast<uint32_t>(span) * 0x010101u) & kSectorFull[sector]) +
                   static_cast<uint32_t>(ramp * kSectorRamp[sector]);
#endif
    }
}

// With a tone table (16-bit samples only), each output sample is its table entry: samples at
// or above the table's size take the last entry.
// Pixels of 16-bit samples from words of 8-bit levels (blue | green << 8 | red << 16), each
// level turned into its sample by `sample`.
template <typename Sample>
void write_levels(uint8_t* q, const uint32_t* words, int32_t n, uint16_t dstPixelBytes, const Sample& sample) {
    if (dstPixelBytes == 6) {
        // One 8-byte store per pixel, whose last two bytes the next pixel's store replaces; the
        // strip's last pixel is stored as its six bytes, so that the next strip (not read yet
        // when the kernel runs in place) keeps its samples.
        const auto pixel = [&](int32_t i) {
            const uint32_t v = words[i];
            return uint64_t{sample(v & 0xFF)} | uint64_t{sample((v >> 8) & 0xFF)} << 16 |
                   uint64_t{sample((v >> 16) & 0xFF)} << 32;
        };
        for (int32_t i = 0; i + 1 < n; ++i) {
            const uint64_t p = pixel(i);
            std::memcpy(q + 6 * static_cast<ptrdiff_t>(i), &p, 8);
        }
        if (n > 0) {
            const uint64_t p = pixel(n - 1);
            std::memcpy(q + 6 * static_cast<ptrdiff_t>(n - 1), &p, 6);
        }
    } else if (dstPixelBytes == 8) {
        // Whole 64-bit pixels: the fourth sample passes through.
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t v = words[i];
            uint64_t old;
            std::memcpy(&old, q + 8 * i, 8);
            const uint64_t pixel = (old & 0xFFFF000000000000ull) | uint64_t{sample(v & 0xFF)} |
                                   (uint64_t{sample((v >> 8) & 0xFF)} << 16) | (uint64_t{sample((v >> 16) & 0xFF)} << 32);
            std::memcpy(q + 8 * i, &pixel, 8);
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t v = words[i];
            const uint16_t pixel[3] = {sample(v & 0xFF), sample((v >> 8) & 0xFF), sample((v >> 16) & 0xFF)};
            std::memcpy(q + static_cast<ptrdiff_t>(i) * dstPixelBytes, pixel, sizeof pixel);
        }
    }
}

template <typename T>
int32_t adjust_hue(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,
                   uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride,
                   const HueBlock& block, const uint16_t* tone, uint32_t toneSize) {
    if (!dst || !src || kernel::rect_empty(rect)) return 1;
    if (dstPixelBytes < 3 * sizeof(T) || srcPixelBytes < 3 * sizeof(T)) return 1;
    const int32_t chromaFactor = chroma_factor(block.saturation);
    const HueOffset hue = hue_offset(block.hue);
    const int32_t shift = sizeof(T) == 1 ? 0 : kernel::clamp_sample_bits(block.sampleBits) - 8;
    // The 16-bit output sample of each 8-bit level: the level moved up to the significant
    // bits, then through the tone table.
    uint16_t levels[256];
    if (tone)
        for (uint32_t k = 0; k < 256; ++k) levels[k] = tone[std::min(k << shift, toneSize - 1)];
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    int32_t B[kStrip], G[kStrip], R[kStrip];
    uint32_t words[kStrip];
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = kernel::source_row(src, rect, j, srcStride, srcPixelBytes);
        uint8_t* out = kernel::dest_row(dst, x, y, j, dstStride, dstPixelBytes);
        for (int32_t i0 = 0; i0 < width; i0 += kStrip) {
            const int32_t n = std::min(kStrip, width - i0);
            const uint8_t* p = in + static_cast<ptrdiff_t>(i0) * srcPixelBytes;
            uint8_t* q = out + static_cast<ptrdiff_t>(i0) * dstPixelBytes;
            // The strip is read whole before any of it is written (in place too); packed
            // pixels get a loop with their size fixed.
            const auto read = [&](auto pixelBytes) {
                for (int32_t i = 0; i < n; ++i) {
                    const uint8_t* s = p + static_cast<ptrdiff_t>(i) * pixelBytes;
                    if constexpr (sizeof(T) == 1) {
                        B[i] = s[0];
                        G[i] = s[1];
                        R[i] = s[2];
                    } else {
                        // Samples above the significant range are limited to the top 8-bit level.
                        B[i] = std::min(kernel::load16(s) >> shift, 255);
                        G[i] = std::min(kernel::load16(s + 2) >> shift, 255);
                        R[i] = std::min(kernel::load16(s + 4) >> shift, 255);
                    }
                }
            };
            if (srcPixelBytes == 3 * sizeof(T))
                read(std::integral_constant<ptrdiff_t, 3 * sizeof(T)>{});
            else if (srcPixelBytes == 4 * sizeof(T))
                read(std::integral_constant<ptrdiff_t, 4 * sizeof(T)>{});
            else
                read(static_cast<ptrdiff_t>(srcPixelBytes));
            adjust_strip(B, G, R, n, chromaFactor, hue, words);
            if constexpr (sizeof(T) == 1) {
                if (dstPixelBytes == 3) {
                    kernel::pack32to24(q, reinterpret_cast<const uint8_t*>(words), n, false);
                } else if (dstPixelBytes == 4) {
                    // The fourth byte passes through.
                    for (int32_t i = 0; i < n; ++i) {
                        uint32_t old;
                        std::memcpy(&old, q + 4 * i, 4);
                        const uint32_t v = (old & 0xFF000000u) | (words[i] & 0xFFFFFFu);
                        std::memcpy(q + 4 * i, &v, 4);
                    }
                } else
                    for (int32_t i = 0; i < n; ++i) std::memcpy(q + static_cast<ptrdiff_t>(i) * dstPixelBytes, &words[i], 3);
            } else if (tone && dstPixelBytes == 8) {
                // Three table reads and three stores per pixel: the fourth sample is not touched.
                for (int32_t i = 0; i < n; ++i) {
                    const uint32_t v = words[i];
                    uint8_t* pixel = q + 8 * static_cast<ptrdiff_t>(i);
                    kernel::store16(pixel, levels[v & 0xFF]);
                    kernel::store16(pixel + 2, levels[(v >> 8) & 0xFF]);
                    kernel::store16(pixel + 4, levels[(v >> 16) & 0xFF]);
                }
            } else if (tone) {
                write_levels(q, words, n, dstPixelBytes, [&](uint32_t level) { return levels[level]; });
            } else {
                write_levels(q, words, n, dstPixelBytes,
                             [shift](uint32_t level) { return static_cast<uint16_t>(level << shift); });
            }
        }
    }
    return 1;
}

}  // namespace

IMVELA_PIXEL_KERNEL(AdjustHueSaturation8) {
    if (!user) return 1;
    return adjust_hue<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride,
                               *static_cast<const HueBlock*>(user), nullptr, 0);
}
IMVELA_PIXEL_KERNEL(AdjustHueSaturation16) {
    if (!user) return 1;
    return adjust_hue<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride,
                                *static_cast<const HueBlock*>(user), nullptr, 0);
}
IMVELA_PIXEL_KERNEL(AdjustHueSaturationTone16) {
    if (!user) return 1;
    const auto& block = *static_cast<const HueToneBlock*>(user);
    if (!block.table || block.size == 0) return 1;
    return adjust_hue<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, block.hue,
                                block.table, block.size);
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
