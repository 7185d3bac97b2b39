#include "imaging/tone_tables.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/kernel_support.h"
#include "imaging/power_function.h"

namespace imvela {

namespace {

// The last table a thread built, with what it was built for.
struct CachedTable {
    double key1 = -1.0;
    int64_t key2 = -1;
    std::vector<uint16_t> entries;
};

}  // namespace

double gamma_exponent(int32_t value) { return value > 100 ? (value - 100) / 10.0 + 1.0 : value / 100.0; }

// Gamma tables cost a correctly rounded pow per entry.
const uint16_t* gamma_table(double gamma, uint32_t size, double divisor) {
    thread_local CachedTable cache;
    // Keyed by the exponent's bits: -0.0 and 0.0 or two NaNs never need to match.
    if (cache.key2 == size && std::memcmp(&cache.key1, &gamma, sizeof gamma) == 0) return cache.entries.data();
    cache.entries.resize(size);
    const double top = static_cast<double>(size - 1);
    for (uint32_t i = 0; i < size; ++i) {
        const double v = correctly_rounded_pow(static_cast<double>(i) / divisor, gamma) * top;
        cache.entries[i] = static_cast<uint16_t>(std::clamp(kernel::truncate_saturated(v), 0, static_cast<int32_t>(top)));
    }
    cache.key1 = gamma;
    cache.key2 = size;
    return cache.entries.data();
}

void gamma_table8(int32_t value, bool colour, uint8_t table[256]) {
    double gamma = gamma_exponent(value);
    if (colour) gamma = std::clamp(gamma, 0.001, 99.999);
    const uint16_t* entries = gamma_table(gamma, 256, 255.0);
    for (int32_t i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(entries[i]);
}

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

const uint16_t* contrast_table16(int32_t v, int32_t bits) {
    thread_local CachedTable cache;
    if (cache.key1 == v && cache.key2 == bits) return cache.entries.data();
    const int64_t n = int64_t{1} << bits;
    const int64_t t = static_cast<int64_t>(v) * (int64_t{1} << (bits - 8));
    cache.entries.resize(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        int64_t e;
        if (t > n / 2 - 1 || i < t)
            e = 0;
        else if (i > n - t - 1)
            e = n - 1;
        else
            e = kernel::truncate_saturated(static_cast<double>(n) / static_cast<double>(n - 2 * t) *
                                           static_cast<double>(i - t));
        cache.entries[static_cast<size_t>(i)] = static_cast<uint16_t>(std::clamp<int64_t>(e, 0, n - 1));
    }
    cache.key1 = v;
    cache.key2 = bits;
    return cache.entries.data();
}

}  // namespace imvela

namespace imvela {

void gamma_contrast_table8(int32_t gamma, int32_t contrast, bool colour, uint8_t table[256]) {
    uint8_t first[256], second[256];
    gamma_table8(gamma, colour, first);
    contrast_table8(contrast, second);
    for (int32_t i = 0; i < 256; ++i) table[i] = second[first[i]];
}

const uint16_t* gamma_contrast_table16(int32_t gamma, int32_t contrast, int32_t bits) {
    struct Fused {
        int32_t gamma = 0, contrast = 0, bits = 0;  // bits 0: nothing built yet
        std::vector<uint16_t> entries;
    };
    thread_local Fused cache;
    if (cache.bits == bits && cache.gamma == gamma && cache.contrast == contrast) return cache.entries.data();
    const uint32_t size = 1u << bits;
    const uint16_t* second = contrast_table16(contrast, bits);
    const uint16_t* first = gamma_table(gamma_exponent(gamma), size, static_cast<double>(size));
    cache.entries.resize(size);
    // Gamma entries lie in 0 .. size - 1, so they index the contrast table directly.
    for (uint32_t i = 0; i < size; ++i) cache.entries[i] = second[first[i]];
    cache.gamma = gamma;
    cache.contrast = contrast;
    cache.bits = bits;
    return cache.entries.data();
}

const uint16_t* tone_table16(int32_t gamma, int32_t contrast, int32_t bits) {
    constexpr int32_t kNeutralGamma = 100;
    if (gamma != kNeutralGamma && contrast != 0) return gamma_contrast_table16(gamma, contrast, bits);
    const uint32_t size = 1u << bits;
    if (gamma != kNeutralGamma) return gamma_table(gamma_exponent(gamma), size, static_cast<double>(size));
    return contrast != 0 ? contrast_table16(contrast, bits) : nullptr;
}

}  // namespace imvela
