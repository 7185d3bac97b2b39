// Gamma, contrast and brightness. Gamma and contrast replace every sample through a table
// built for the call; brightness multiplies every sample by one single-precision factor.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"
#include "imaging/power_function.h"

namespace imvela {
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

void apply_table8(const Geometry& g, int32_t channels, const uint8_t table[256]) {
    for_each_run<uint8_t>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t outStep, int32_t inStep) {
        if (outStep == 1 && inStep == 1) {
            kernel::transform_run(out, in, n, [&](uint8_t v) { return table[v]; });
        } else {
            for (int32_t i = 0; i < n; ++i) out[i * outStep] = table[in[i * inStep]];
        }
    });
}

// Samples at or above the table size take the last entry.
void apply_table16(const Geometry& g, int32_t channels, const uint16_t* table, uint32_t size) {
    for_each_run<uint16_t>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t outStep, int32_t inStep) {
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t v = kernel::load16(in + static_cast<ptrdiff_t>(i) * inStep);
            kernel::store16(out + static_cast<ptrdiff_t>(i) * outStep, table[v < size ? v : size - 1]);
        }
    });
}

uint32_t table_size(int32_t sampleBits) { return 1u << kernel::clamp_sample_bits(sampleBits); }

// ---- gamma ----

double gamma_exponent(int32_t value) {
    return value > 100 ? (value - 100) / 10.0 + 1.0 : value / 100.0;
}

// Entry i = truncate(pow(i / divisor, gamma) * top), limited to [0, top]. Gamma tables cost
// a correctly rounded pow per entry, so each thread keeps the last table it built: a camera
// whose gamma does not change builds it once.
struct GammaTable {
    double gamma = -1.0;
    uint32_t size = 0;
    std::vector<uint16_t> entries;
};

const uint16_t* gamma_table(double gamma, uint32_t size, double divisor) {
    thread_local GammaTable cache;
    // Keyed by the exponent's bits: -0.0 and 0.0 or two NaNs never need to match.
    if (cache.size == size && std::memcmp(&cache.gamma, &gamma, sizeof gamma) == 0) return cache.entries.data();
    cache.entries.resize(size);
    const double top = static_cast<double>(size - 1);
    for (uint32_t i = 0; i < size; ++i) {
        const double v = correctly_rounded_pow(static_cast<double>(i) / divisor, gamma) * top;
        cache.entries[i] = static_cast<uint16_t>(std::clamp(kernel::truncate_saturated(v), 0, static_cast<int32_t>(top)));
    }
    cache.gamma = gamma;
    cache.size = size;
    return cache.entries.data();
}

void gamma8(const Geometry& g, int32_t channels, double gamma) {
    const uint16_t* entries = gamma_table(gamma, 256, 255.0);
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(entries[i]);
    apply_table8(g, channels, table);
}

void gamma16(const Geometry& g, int32_t channels, double gamma, int32_t sampleBits) {
    const uint32_t size = table_size(sampleBits);
    apply_table16(g, channels, gamma_table(gamma, size, static_cast<double>(size)), size);
}

// ---- contrast ----

void contrast_table8(int32_t v, uint8_t table[256]) {
    for (int32_t i = 0; i < 256; ++i) {
        int32_t e;
        if (v >= 128 || i < v)
            e = 0;
        else if (i > 255 - v)
            e = 255;
        else
            e = kernel::truncate_saturated(256.0 / (256 - 2 * v) * (i - v));
        table[i] = static_cast<uint8_t>(std::clamp(e, 0, 255));
    }
}

void contrast16(const Geometry& g, int32_t channels, int32_t v, int32_t sampleBits) {
    const int32_t bits = kernel::clamp_sample_bits(sampleBits);
    const int64_t n = int64_t{1} << bits;
    const int64_t t = static_cast<int64_t>(v) * (int64_t{1} << (bits - 8));
    std::vector<uint16_t> table(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        int64_t e;
        if (t > n / 2 - 1 || i < t)
            e = 0;
        else if (i > n - t - 1)
            e = n - 1;
        else
            e = kernel::truncate_saturated(static_cast<double>(n) / static_cast<double>(n - 2 * t) *
                                           static_cast<double>(i - t));
        table[static_cast<size_t>(i)] = static_cast<uint16_t>(std::clamp<int64_t>(e, 0, n - 1));
    }
    apply_table16(g, channels, table.data(), static_cast<uint32_t>(n));
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
// that no out-of-range float is ever converted.
template <typename T>
void brightness(const Geometry& g, int32_t channels, float factor, float top) {
    for_each_run<T>(g, channels, [&](uint8_t* out, const uint8_t* in, int32_t n, int32_t outStep, int32_t inStep) {
        if constexpr (sizeof(T) == 2) {
            if (outStep == 2 && inStep == 2 && n > 0) {
                // Packed 16-bit run: the kernel's buffers are byte memory, so the words go
                // through a small aligned block to stay free of aliasing questions.
                uint16_t block[256];
                for (int32_t start = 0; start < n; start += 256) {
                    const int32_t count = std::min(256, n - start);
                    std::memcpy(block, in + 2 * start, static_cast<size_t>(count) * 2);
                    for (int32_t i = 0; i < count; ++i) {
                        float p = static_cast<float>(block[i]) * factor;
                        p = p < 0.0f ? 0.0f : p;
                        p = p > top ? top : p;
                        block[i] = static_cast<uint16_t>(static_cast<int32_t>(p));
                    }
                    std::memcpy(out + 2 * start, block, static_cast<size_t>(count) * 2);
                }
                return;
            }
        }
        for (int32_t i = 0; i < n; ++i) {
            const uint8_t* s = in + static_cast<ptrdiff_t>(i) * inStep;
            float p = static_cast<float>(sizeof(T) == 1 ? *s : kernel::load16(s)) * factor;
            p = p < 0.0f ? 0.0f : p;
            p = p > top ? top : p;
            uint8_t* d = out + static_cast<ptrdiff_t>(i) * outStep;
            if constexpr (sizeof(T) == 1)
                *d = static_cast<uint8_t>(static_cast<int32_t>(p));
            else
                kernel::store16(d, static_cast<uint16_t>(static_cast<int32_t>(p)));
        }
    });
}

// 8-bit samples take only 256 values: the same single-precision products, computed once per
// call into a table, give the same results as multiplying every sample.
void brightness8(const Geometry& g, int32_t channels, float factor) {
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i) {
        float p = static_cast<float>(i) * factor;
        p = p < 0.0f ? 0.0f : p;
        p = p > 255.0f ? 255.0f : p;
        table[i] = static_cast<uint8_t>(static_cast<int32_t>(p));
    }
    apply_table8(g, channels, table);
}

const AdjustmentBlock* block_of(void* user) { return static_cast<const AdjustmentBlock*>(user); }

}  // namespace

#define IMVELA_GEOMETRY IMVELA_KERNEL_ARGS

IMVELA_PIXEL_KERNEL(AdjustGammaMono8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 1)) return 1;
    gamma8(g, 1, gamma_exponent(block_of(user)->value));
    return 1;
}
IMVELA_PIXEL_KERNEL(AdjustGammaColor8) {
    const Geometry g = IMVELA_GEOMETRY;
    if (!user || !usable(g, 3)) return 1;
    gamma8(g, 3, std::clamp(gamma_exponent(block_of(user)->value), 0.001, 99.999));
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

}  // namespace imvela
