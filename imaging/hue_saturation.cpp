// Hue rotation and saturation in integer arithmetic: each pixel is split into its gray level,
// its chroma and its position on the 1530-step hue ring; the hue offset moves it round the ring
// and the saturation scales the chroma.
//
// The fixed tables are built once at compile time. The saturation table is rebuilt on the
// stack by every call: it has 256 entries, far less work than one row of pixels, and so two
// cameras adjusting hue at once with different saturations never share one.
#include <algorithm>
#include <array>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

constexpr std::array<uint32_t, 256> make_reciprocal() {
    std::array<uint32_t, 256> table{};
    for (uint32_t d = 1; d < 256; ++d) table[d] = 0xFF0000u / d;
    return table;
}
constexpr std::array<uint32_t, 256> kReciprocal = make_reciprocal();

// Per hue sector (0..11, entries 6..11 repeat 0..5): the channels that keep the full chroma,
// and the channel that ramps (with its direction) across the sector.
constexpr uint32_t kSectorMask[12] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                      0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
constexpr int32_t kSectorStep[12] = {-1, 256, -65536, 1, -256, 65536, -1, 256, -65536, 1, -256, 65536};

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

// chroma[d] for this call's saturation. Saturations below -256 would turn the chroma negative;
// very large ones would overflow: both are limited.
void build_chroma(int32_t saturation, uint16_t chroma[256]) {
    const int32_t factor = (std::clamp(saturation, -256, 32000) + 256) * 256;
    for (int32_t d = 0; d < 256; ++d) chroma[d] = static_cast<uint16_t>((0x8000 + d * factor) >> 16);
}

// One pixel of 8-bit channels; returns blue | green << 8 | red << 16.
inline uint32_t adjust_pixel(int32_t B, int32_t G, int32_t R, const uint16_t* chroma, HueOffset hue) {
    int32_t top, other, base, e;
    if (R >= G) {
        top = R;
        other = G;
        base = 1;
        e = G - B;
    } else {
        top = G;
        other = R;
        base = 3;
        e = B - R;
    }
    if (B > top) {
        top = B;
        base = 5;
        e = R - G;
    }
    const int32_t low = std::min(other, B);
    const int32_t d = top - low;
    const int32_t L = top + low;
    if (e < 0) {
        base -= 1;
        e += d;
    }
    const int32_t S = std::min<int32_t>(chroma[d], std::min(L, 511 - L));  // chromaLimit[L]
    const int32_t lo = (L - S) >> 1;
    const int32_t r = ((S + L) >> 1) - lo;
    uint32_t result = static_cast<uint32_t>(lo) * 0x010101u;  // grayTriple[lo]
    if (d != 0) {
        int32_t f = static_cast<int32_t>((kReciprocal[d] * static_cast<uint32_t>(e) + 0x8000u) >> 16) + hue.fraction;
        int32_t sector = base + hue.sector;
        if (f >= 255) {
            f -= 255;
            sector += 1;
        }
        result += (static_cast<uint32_t>(r) * 0x010101u & kSectorMask[sector]) +
                  static_cast<uint32_t>(((r * f + 128) >> 8) * kSectorStep[sector]);
    }
    return result;
}

template <typename T>
int32_t adjust_hue(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,
                   uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride, void* user) {
    if (!dst || !src || !user || kernel::rect_empty(rect)) return 1;
    if (dstPixelBytes < 3 * sizeof(T) || srcPixelBytes < 3 * sizeof(T)) return 1;
    const auto& block = *static_cast<const HueBlock*>(user);
    uint16_t chroma[256];
    build_chroma(block.saturation, chroma);
    const HueOffset hue = hue_offset(block.hue);
    const int32_t shift = sizeof(T) == 1 ? 0 : kernel::clamp_sample_bits(block.sampleBits) - 8;
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = kernel::source_row(src, rect, j, srcStride, srcPixelBytes);
        uint8_t* out = kernel::dest_row(dst, x, y, j, dstStride, dstPixelBytes);
        for (int32_t i = 0; i < width; ++i) {
            const uint8_t* p = in + static_cast<ptrdiff_t>(i) * srcPixelBytes;
            uint8_t* q = out + static_cast<ptrdiff_t>(i) * dstPixelBytes;
            if constexpr (sizeof(T) == 1) {
                const uint32_t v = adjust_pixel(p[0], p[1], p[2], chroma, hue);
                q[0] = static_cast<uint8_t>(v);
                q[1] = static_cast<uint8_t>(v >> 8);
                q[2] = static_cast<uint8_t>(v >> 16);
            } else {
                // Samples above the significant range are limited to the top 8-bit level.
                const auto channel = [&](int32_t k) { return std::min(kernel::load16(p + 2 * k) >> shift, 255); };
                const uint32_t v = adjust_pixel(channel(0), channel(1), channel(2), chroma, hue);
                kernel::store16(q, static_cast<uint16_t>((v & 0xFF) << shift));
                kernel::store16(q + 2, static_cast<uint16_t>(((v >> 8) & 0xFF) << shift));
                kernel::store16(q + 4, static_cast<uint16_t>(((v >> 16) & 0xFF) << shift));
            }
        }
    }
    return 1;
}

}  // namespace

IMVELA_PIXEL_KERNEL(AdjustHueSaturation8) {
    return adjust_hue<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user);
}
IMVELA_PIXEL_KERNEL(AdjustHueSaturation16) {
    return adjust_hue<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user);
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
