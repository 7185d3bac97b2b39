#pragma once
// Small helpers for kernel tests: filling buffers and reading pixels by picture coordinates.
#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/image_buffer.h"

namespace imvela::test {

inline uint8_t* pixel(CImageBuffer& b, int32_t x, int32_t row) {
    return b.bits() + static_cast<ptrdiff_t>(row) * b.stride() + static_cast<ptrdiff_t>(x) * b.bytes_per_pixel();
}
inline uint16_t word(CImageBuffer& b, int32_t x, int32_t row, int32_t index = 0) {
    uint16_t v;
    std::memcpy(&v, pixel(b, x, row) + 2 * index, 2);
    return v;
}
inline void set_word(CImageBuffer& b, int32_t x, int32_t row, int32_t index, uint16_t v) {
    std::memcpy(pixel(b, x, row) + 2 * index, &v, 2);
}

// Fills every sample (byte or 16-bit word, padding excluded) with values from `next`.
template <typename Next>
void fill_samples(CImageBuffer& b, Next next) {
    const int32_t perRow = b.width() * b.bytes_per_pixel();
    for (int32_t r = 0; r < b.height(); ++r) {
        uint8_t* row = b.bits() + static_cast<ptrdiff_t>(r) * b.stride();
        if (b.bits_per_pixel() == 16 || b.bits_per_pixel() >= 48) {
            for (int32_t i = 0; i < perRow / 2; ++i) {
                const uint16_t v = static_cast<uint16_t>(next());
                std::memcpy(row + 2 * i, &v, 2);
            }
        } else {
            for (int32_t i = 0; i < perRow; ++i) row[i] = static_cast<uint8_t>(next());
        }
    }
}

inline void fill_random(CImageBuffer& b, uint32_t seed, uint32_t maxValue) {
    std::mt19937 rng(seed);
    fill_samples(b, [&] { return rng() % (maxValue + 1); });
}

}  // namespace imvela::test
