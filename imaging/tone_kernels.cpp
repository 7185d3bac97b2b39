// Gamma, contrast and brightness. Gamma and contrast replace every sample through a table
// built for the call; brightness multiplies every sample by one single-precision factor.
#include <algorithm>
#include <cstring>

#include "imaging/fixed_point_scale.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"
#include "imaging/tone_tables.h"

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE4_1__)
#include <smmintrin.h>
#endif

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

using Geometry = kernel::KernelArgs;

// Calls op(outRow, inRow, count, step) for every row: when pixels hold exactly `channels`
// samples the row is one run of width * channels samples with step 1 sample; otherwise each
// pixel's channels are visited through a per-channel run with the pixel step.
template <typename T, typename Op>
void for_each_run(const Geometry& g, int32_t channels, const Op& op) {
    const int32_t width = kernel::rect_width(*g.rect), height = kernel::rect_height(*g.rect);
    const bool packed = g.dstPixelBytes == channels * sizeof(T) && g.srcPixelBytes == channels * sizeof(T);
    for (int32_t j = 0; j < height; ++j) {
        const uint8_t* in = kernel::source_row(g.src, *g.rect, j, g.srcStride, g.srcPixelBytes);
        uint8_t* out = kernel::dest_row(g.dst, g.x, g.y, j, g.dstStride, g.dstPixelBytes);
        if (packed) {
            op(out, in, width * channels, static_cast<int32_t>(sizeof(T)), static_cast<int32_t>(sizeof(T)));
        } else {
            for (int32_t c = 0; c < channels; ++c)
                op(out + c * sizeof(T), in + c * sizeof(T), width, g.dstPixelBytes, g.srcPixelBytes);
        }
    }
}

bool usable(const Geometry& g, int32_t bytesPerPixel) {
    return g.dst && g.src && !kernel::rect_empty(*g.rect) && g.dstPixelBytes >= bytesPerPixel &&
           g.srcPixelBytes >= bytesPerPixel;
}

// Eight samples per step: one 8-byte load, eight table reads, one 8-byte store (in place too,
// since every step reads its bytes before it writes them). With `keepFourth` the run is made of
// 4-byte pixels whose fourth byte passes through: one pixel per step, three table reads.
void lookup_run(uint8_t* out, const uint8_t* in, int32_t n, const uint8_t* table, bool keepFourth) {
    int32_t i = 0;
    if (keepFourth) {
        for (; i + 4 <= n; i += 4) {
            uint32_t v;
            std::memcpy(&v, in + i, 4);
            const uint32_t r = table[v & 0xFF] | (uint32_t{table[(v >> 8) & 0xFF]} << 8) |
                               (uint32_t{table[(v >> 16) & 0xFF]} << 16) | (v & 0xFF000000u);
            std::memcpy(out + i, &r, 4);
        }
    }
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, in + i, 8);
        uint64_t r = 0;
        for (int32_t k = 0; k < 8; ++k) r |= static_cast<uint64_t>(table[(v >> (8 * k)) & 0xFF]) << (8 * k);
        std::memcpy(out + i, &r, 8);
    }
    for (; i < n; ++i) out[i] = keepFourth && (i & 3) == 3 ? in[i] : table[in[i]];
}

// A byte table applied to runs of samples (in place allowed), by `lookup_run` in the baseline.
// The vector variants use byte shuffles, which look up sixteen entries by the index's low four
// bits and give 0 where the index's top bit is set. Samples below 128 run through the table's
// first eight 16-entry rows with the index v - 16h for row h: v reaches rows 0 .. v / 16 (every
// further index has its top bit set), so row h is kept as the XOR of table rows h and h - 1
// and the reached rows XOR to table row v / 16. Samples from 128 up do the same on the last
// eight rows with v - 128; the top bit of v chooses between the two results.
class ByteTable {
public:
    explicit ByteTable(const uint8_t* table) : table_(table) {
#if defined(__AVX2__) || defined(__SSE4_1__)
        for (int32_t h = 0; h < 16; ++h)
            for (int32_t k = 0; k < 16; ++k)
                rows_[h][k] = static_cast<uint8_t>(table[16 * h + k] ^ (h % 8 ? table[16 * (h - 1) + k] : 0));
#endif
    }

    // With `keepFourth` the run is made of 4-byte pixels whose fourth byte passes through.
    void run(uint8_t* out, const uint8_t* in, int32_t n, bool keepFourth) const {
        int32_t i = 0;
#if defined(__AVX2__) || defined(__SSE4_1__)
        using B = Bytes;
        B::V rows[16];
        for (int32_t h = 0; h < 16; ++h) rows[h] = B::row(rows_[h]);
        const B::V step = B::bytes(16), top = B::bytes(0x80), kept = B::words(keepFourth ? 0x80000000u : 0);
        // Sixteen-byte shuffles on 4-byte pixels cost more than three table reads per pixel.
        const int32_t vectorEnd = B::kBytes == 16 && keepFourth ? 0 : n;
        for (; i + B::kBytes <= vectorEnd; i += B::kBytes) {
            const B::V v = B::load(in + i);
            B::V low = B::shuffle(rows[0], v), high = B::shuffle(rows[8], B::bitwise_xor(v, top));
            B::V index = v;
            for (int32_t h = 1; h < 8; ++h) {
                index = B::sub(index, step);
                low = B::bitwise_xor(low, B::shuffle(rows[h], index));
                high = B::bitwise_xor(high, B::shuffle(rows[8 + h], B::bitwise_xor(index, top)));
            }
            B::store(out + i, B::blend(B::blend(low, high, v), v, kept));
        }
#endif
        lookup_run(out + i, in + i, n - i, table_, keepFourth);
    }

private:
#if defined(__AVX2__)
    struct Bytes {
        using V = __m256i;
        static constexpr int32_t kBytes = 32;
        static V load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
        static void store(uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
        static V row(const uint8_t* p) { return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p))); }
        static V bytes(int32_t b) { return _mm256_set1_epi8(static_cast<char>(b)); }
        static V words(uint32_t w) { return _mm256_set1_epi32(static_cast<int>(w)); }
        static V sub(V a, V b) { return _mm256_sub_epi8(a, b); }
        static V bitwise_xor(V a, V b) { return _mm256_xor_si256(a, b); }
        static V shuffle(V rowBytes, V index) { return _mm256_shuffle_epi8(rowBytes, index); }
        static V blend(V a, V b, V choose) { return _mm256_blendv_epi8(a, b, choose); }
    };
#elif defined(__SSE4_1__)
    struct Bytes {
        using V = __m128i;
        static constexpr int32_t kBytes = 16;
        static V load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
        static void store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
        static V row(const uint8_t* p) { return _mm_load_si128(reinterpret_cast<const V*>(p)); }
        static V bytes(int32_t b) { return _mm_set1_epi8(static_cast<char>(b)); }
        static V words(uint32_t w) { return _mm_set1_epi32(static_cast<int>(w)); }
        static V sub(V a, V b) { return _mm_sub_epi8(a, b); }
        static V bitwise_xor(V a, V b) { return _mm_xor_si128(a, b); }
        static V shuffle(V rowBytes, V index) { return _mm_shuffle_epi8(rowBytes, index); }
        static V blend(V a, V b, V choose) { return _mm_blendv_epi8(a, b, choose); }
    };
#endif
#if defined(__AVX2__) || defined(__SSE4_1__)
    alignas(16) uint8_t rows_[16][16];
#endif
    const uint8_t* table_;
};

void apply_table8(const Geometry& g, int32_t channels, const uint8_t table[256]) {
    const ByteTable lookup(table);
    if (channels == 3 && g.dstPixelBytes == 4 && g.srcPixelBytes == 4) {
        // 32-bit pixels: each row is one run of whole pixels, whose fourth byte passes through.
        for_each_run<uint8_t>(g, 4, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t, int32_t) {
            lookup.run(out, in, n, true);
        });
        return;
    }
    for_each_run<uint8_t>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t outStep, int32_t inStep) {
        if (outStep == 1 && inStep == 1) {
            lookup.run(out, in, n, false);
        } else {
            for (int32_t i = 0; i < n; ++i) out[i * outStep] = table[in[i * inStep]];
        }
    });
}

// What a 16-bit table pass does with every fourth sample of a run: look it up like the others,
// or (runs of 4-sample pixels) copy it, or leave it where the run is adjusted in place.
enum class Fourth { Look, Copy, Leave };

// 16-bit table reads one by one: vector lanes would have to gather them word by word, which
// costs more than the scalar loop. Four samples per step, read before they are written (in
// place allowed). Rows of 16-bit buffers start at even addresses. Samples at or above the
// table size take the last entry.
template <Fourth fourth>
__attribute__((optimize("no-tree-vectorize"))) void lookup16_run(uint16_t* out, const uint16_t* in, int32_t n,
                                                                 const uint16_t* table, uint32_t size) {
    const auto entry = [table, last = size - 1](uint32_t v) { return table[v < last ? v : last]; };
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint16_t a = in[i], b = in[i + 1], c = in[i + 2], d = in[i + 3];
        out[i] = entry(a);
        out[i + 1] = entry(b);
        out[i + 2] = entry(c);
        if (fourth != Fourth::Leave) out[i + 3] = fourth == Fourth::Copy ? d : entry(d);
    }
    for (; i < n; ++i)
        if (fourth == Fourth::Look || (i & 3) != 3)
            out[i] = entry(in[i]);
        else if (fourth == Fourth::Copy)
            out[i] = in[i];
}

void apply_table16(const Geometry& g, int32_t channels, const uint16_t* table, uint32_t size) {
    if (channels == 3 && g.dstPixelBytes == 8 && g.srcPixelBytes == 8) {
        // 64-bit pixels: each row is one run of whole pixels.
        for_each_run<uint16_t>(g, 4, [&](uint8_t* outBytes, const uint8_t* inBytes, int32_t n, int32_t, int32_t) {
            auto* out = reinterpret_cast<uint16_t*>(outBytes);
            const auto* in = reinterpret_cast<const uint16_t*>(inBytes);
            if (out == in)
                lookup16_run<Fourth::Leave>(out, in, n, table, size);
            else
                lookup16_run<Fourth::Copy>(out, in, n, table, size);
        });
        return;
    }
    for_each_run<uint16_t>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t outStep, int32_t inStep) {
        if (outStep == 2 && inStep == 2) {
            lookup16_run<Fourth::Look>(reinterpret_cast<uint16_t*>(out), reinterpret_cast<const uint16_t*>(in), n, table, size);
            return;
        }
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t v = kernel::load16(in + static_cast<ptrdiff_t>(i) * inStep);
            kernel::store16(out + static_cast<ptrdiff_t>(i) * outStep, table[v < size ? v : size - 1]);
        }
    });
}

uint32_t table_size(int32_t sampleBits) { return 1u << kernel::clamp_sample_bits(sampleBits); }

// ---- gamma and contrast ----

void gamma16(const Geometry& g, int32_t channels, double gamma, int32_t sampleBits) {
    const uint32_t size = table_size(sampleBits);
    apply_table16(g, channels, gamma_table(gamma, size, static_cast<double>(size)), size);
}

void contrast16(const Geometry& g, int32_t channels, int32_t v, int32_t sampleBits) {
    const int32_t bits = kernel::clamp_sample_bits(sampleBits);
    apply_table16(g, channels, contrast_table16(v, bits), 1u << bits);
}

// ---- brightness ----

float brightness_factor(int32_t v) {
    double f = 1.0;
    if (v > 0)
        f = 1.0 + v * 0.0392156862745098;
    else if (v < 0)
        f = 1.0 - -static_cast<double>(v) * 0.00392156862745098;
    return static_cast<float>(f);
}

// truncate(c * factor) limited to [0, top]; the product is limited before the conversion so
// that no out-of-range float is ever converted. The limits are written in the operand order
// of the processor's max and min instructions; for products (never NaN) they are the same
// limits, -0.0 becoming 0.0 before a conversion that gives 0 either way.
// Factors whose products with 16-bit samples stay far inside the int32 range.
constexpr float kIntegerLimitFactor16 = 1.0e4f;

// The in-range product of a 16-bit sample, limited to [0, limit]: truncated first, limited
// as an integer (see brightened_in_range).
inline uint16_t brightened16(uint16_t c, float factor, int32_t limit) {
    const int32_t q = static_cast<int32_t>(static_cast<float>(c) * factor);
    return static_cast<uint16_t>(std::min(std::max(q, 0), limit));
}

// Packed 16-bit run of n samples (rows of 16-bit buffers start at even addresses). With
// `keepFourth` (runs of whole 4-sample pixels) every fourth sample passes through: its lanes
// get the factor 1 and the limit 65535, which give the sample back unchanged. Groups of eight
// samples carry the per-lane factors and limits, so the loop fills whole vector lanes.
void brightness_run16(uint8_t* out, const uint8_t* in, int32_t n, float factor, float top, bool keepFourth) {
    uint16_t* o = reinterpret_cast<uint16_t*>(out);
    const uint16_t* s = reinterpret_cast<const uint16_t*>(in);
    if (!(factor > -kIntegerLimitFactor16 && factor < kIntegerLimitFactor16)) {
        for (int32_t i = 0; i < n; ++i) {
            float p = static_cast<float>(s[i]) * factor;
            p = p > 0.0f ? p : 0.0f;
            p = p < top ? p : top;
            o[i] = (keepFourth && (i & 3) == 3) ? s[i] : static_cast<uint16_t>(static_cast<int32_t>(p));
        }
        return;
    }
    constexpr int32_t kGroup = 8;
    float factors[kGroup];
    int32_t limits[kGroup];
    for (int32_t k = 0; k < kGroup; ++k) {
        const bool keep = keepFourth && (k & 3) == 3;
        factors[k] = keep ? 1.0f : factor;
        limits[k] = keep ? 65535 : static_cast<int32_t>(top);
    }
    int32_t i = 0;
    if (o == s) {
        for (; i + kGroup <= n; i += kGroup)
            for (int32_t k = 0; k < kGroup; ++k) o[i + k] = brightened16(o[i + k], factors[k], limits[k]);
    } else {
        uint16_t* __restrict d = o;
        const uint16_t* __restrict c = s;
        for (; i + kGroup <= n; i += kGroup)
            for (int32_t k = 0; k < kGroup; ++k) d[i + k] = brightened16(c[i + k], factors[k], limits[k]);
    }
    for (; i < n; ++i) o[i] = brightened16(s[i], factors[i % kGroup], limits[i % kGroup]);
}

template <typename T>
void brightness(const Geometry& g, int32_t channels, float factor, float top) {
    if constexpr (sizeof(T) == 2) {
        if (channels == 3 && g.dstPixelBytes == 8 && g.srcPixelBytes == 8) {
            // 64-bit pixels: each row is one run of whole pixels.
            const int32_t width = kernel::rect_width(*g.rect), height = kernel::rect_height(*g.rect);
            for (int32_t j = 0; j < height; ++j)
                brightness_run16(kernel::dest_row(g.dst, g.x, g.y, j, g.dstStride, g.dstPixelBytes),
                                 kernel::source_row(g.src, *g.rect, j, g.srcStride, g.srcPixelBytes), 4 * width,
                                 factor, top, true);
            return;
        }
    }
    for_each_run<T>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t outStep, int32_t inStep) {
        if constexpr (sizeof(T) == 2) {
            if (outStep == 2 && inStep == 2 && n > 0) {
                brightness_run16(out, in, n, factor, top, false);
                return;
            }
        }
        for (int32_t i = 0; i < n; ++i) {
            const uint8_t* s = in + static_cast<ptrdiff_t>(i) * inStep;
            float p = static_cast<float>(sizeof(T) == 1 ? *s : kernel::load16(s)) * factor;
            p = p > 0.0f ? p : 0.0f;
            p = p < top ? p : top;
            uint8_t* d = out + static_cast<ptrdiff_t>(i) * outStep;
            if constexpr (sizeof(T) == 1)
                *d = static_cast<uint8_t>(static_cast<int32_t>(p));
            else
                kernel::store16(d, static_cast<uint16_t>(static_cast<int32_t>(p)));
        }
    });
}

// Packed 8-bit runs multiply in vector lanes; 32-bit pixels go through a table of the same
// single-precision products (8-bit samples take only 256 values), which keeps fourth bytes.
inline uint8_t brightened(uint8_t c, float factor) {
    float p = static_cast<float>(c) * factor;
    p = p > 0.0f ? p : 0.0f;
    p = p < 255.0f ? p : 255.0f;
    return static_cast<uint8_t>(static_cast<int32_t>(p));
}

// The same value for factors whose products stay far inside the int32 range: truncated first
// and limited as an integer (truncation and the integer limits 0 and 255 commute), which the
// vector lanes do with packing saturation instead of floating-point compares and blends.
constexpr float kIntegerLimitFactor = 1.0e6f;
inline uint8_t brightened_in_range(uint8_t c, float factor) {
    const int32_t q = static_cast<int32_t>(static_cast<float>(c) * factor);
    return static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
}

// The in-range products of all 256 samples as 16-bit fixed point (scale_fixed8), which vector
// lanes compute sixteen at a time with one high-half multiply. Found per call and checked
// against every sample value; `exact` is false when no multiplier gives every product (the
// float loop runs then).
struct FixedBrightness {
    bool exact;
    int32_t lift;
    uint32_t multiplier;
};

FixedBrightness fixed_brightness(float factor) {
    uint8_t want[256];
    for (int32_t c = 0; c < 256; ++c) want[c] = brightened_in_range(static_cast<uint8_t>(c), factor);
    // The most fractional bits whose multiplier still fits 16 bits.
    int32_t lift = 0;
    while (lift < 8 && factor * static_cast<float>(1 << (16 - lift)) >= 65536.0f) ++lift;
    // The smallest multiplier that reaches every wanted product.
    uint64_t m = 0;
    for (uint64_t c = 1; c < 256; ++c) m = std::max(m, (uint64_t{want[c]} * (uint64_t{1} << (16 - lift)) + c - 1) / c);
    FixedBrightness fixed{m <= 65535, lift, static_cast<uint32_t>(m)};
    for (int32_t c = 0; c < 256 && fixed.exact; ++c)
        fixed.exact = kernel::scale_fixed8(static_cast<uint8_t>(c), lift, static_cast<uint16_t>(fixed.multiplier)) == want[c];
    return fixed;
}

void brightness8(const Geometry& g, int32_t channels, float factor) {
    if (g.dstPixelBytes == channels && g.srcPixelBytes == channels) {
        const bool in_range = factor > -kIntegerLimitFactor && factor < kIntegerLimitFactor;
        const FixedBrightness fixed = in_range ? fixed_brightness(factor) : FixedBrightness{false, 0, 0};
        for_each_run<uint8_t>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t, int32_t) {
            if (fixed.exact)
                kernel::scale_fixed8_run(out, in, n, fixed.lift, static_cast<uint16_t>(fixed.multiplier));
            else if (in_range)
                kernel::transform_run(out, in, n, [factor](uint8_t c) { return brightened_in_range(c, factor); });
            else
                kernel::transform_run(out, in, n, [factor](uint8_t c) { return brightened(c, factor); });
        });
        return;
    }
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i) table[i] = brightened(static_cast<uint8_t>(i), factor);
    apply_table8(g, channels, table);
}

const AdjustmentBlock* block_of(void* user) { return static_cast<const AdjustmentBlock*>(user); }

}  // namespace

#define IMVELA_GEOMETRY IMVELA_KERNEL_ARGS

IMVELA_PIXEL_KERNEL(AdjustGammaMono8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 1)) return 1;
    uint8_t table[256];
    gamma_table8(block_of(user)->value, false, table);
    apply_table8(g, 1, table);
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustGammaColor8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 3)) return 1;
    uint8_t table[256];
    gamma_table8(block_of(user)->value, true, table);
    apply_table8(g, 3, table);
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustGammaMono16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 2)) return 1;
    gamma16(g, 1, gamma_exponent(block_of(user)->value), block_of(user)->sampleBits);
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustGammaColor16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 6)) return 1;
    gamma16(g, 3, gamma_exponent(block_of(user)->value), block_of(user)->sampleBits);
    return 1;
}

IMVELA_PIXEL_KERNEL(AdjustContrastMono8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 1)) return 1;
    uint8_t table[256];
    contrast_table8(block_of(user)->value, table);
    apply_table8(g, 1, table);
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustContrastColor8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 3)) return 1;
    uint8_t table[256];
    contrast_table8(block_of(user)->value, table);
    apply_table8(g, 3, table);
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustContrastMono16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 2)) return 1;
    contrast16(g, 1, block_of(user)->value, block_of(user)->sampleBits);
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustContrastColor16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 6)) return 1;
    contrast16(g, 3, block_of(user)->value, block_of(user)->sampleBits);
    return 1;
}

IMVELA_PIXEL_KERNEL(AdjustBrightnessMono8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 1)) return 1;
    brightness8(g, 1, brightness_factor(block_of(user)->value));
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustBrightnessColor8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 3)) return 1;
    brightness8(g, 3, brightness_factor(block_of(user)->value));
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustBrightnessMono16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 2)) return 1;
    brightness<uint16_t>(g, 1, brightness_factor(block_of(user)->value),
                         static_cast<float>(table_size(block_of(user)->sampleBits) - 1));
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustBrightnessColor16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 6)) return 1;
    brightness<uint16_t>(g, 3, brightness_factor(block_of(user)->value),
                         static_cast<float>(table_size(block_of(user)->sampleBits) - 1));
    return 1;
}

IMVELA_PIXEL_KERNEL(ApplyTable8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user) return 1;
    const auto& block = *static_cast<const TableBlock*>(user);
    const int32_t channels = block.channels == 1 ? 1 : 3;
    if (!usable(g, channels)) return 1;
    apply_table8(g, channels, block.table);
    return 1;
}

IMVELA_PIXEL_KERNEL(ApplyTable16) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user) return 1;
    const auto& block = *static_cast<const Table16Block*>(user);
    const int32_t channels = block.channels == 1 ? 1 : 3;
    if (!block.table || block.size == 0 || !usable(g, 2 * channels)) return 1;
    apply_table16(g, channels, block.table, block.size);
    return 1;
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
