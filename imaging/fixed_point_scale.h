#pragma once
// 8-bit samples scaled in 16-bit fixed point: min(((c << lift) * m) >> 16, 255). The compiler
// does not turn the high half of a 16-bit product into the processor's high-half multiply, so
// the vector form is written by hand here, beside its portable twin; both give the same bytes.
// In place allowed: each step reads its bytes before it writes them.
#include <cstdint>

#include "imaging/kernel_variant.h"

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imvela::kernel {
inline namespace IMVELA_KERNEL_VARIANT {

inline uint8_t scale_fixed8(uint8_t c, int32_t lift, uint16_t m) {
    const uint32_t p = (static_cast<uint32_t>(static_cast<uint16_t>(c << lift)) * m) >> 16;
    return static_cast<uint8_t>(p < 255 ? p : 255);
}

inline void scale_fixed8_run_portable(uint8_t* out, const uint8_t* in, int32_t n, int32_t lift, uint16_t m) {
    for (int32_t i = 0; i < n; ++i) out[i] = scale_fixed8(in[i], lift, m);
}

inline void scale_fixed8_run(uint8_t* out, const uint8_t* in, int32_t n, int32_t lift, uint16_t m) {
    int32_t i = 0;
#if defined(__AVX2__)
    const __m256i zero = _mm256_setzero_si256(), mul = _mm256_set1_epi16(static_cast<int16_t>(m));
    const __m256i top = _mm256_set1_epi16(255);
    const __m128i count = _mm_cvtsi32_si128(lift);
    const auto scale = [&](__m256i words) { return _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_sll_epi16(words, count), mul), top); };
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        // Unpacking and packing work within each 128-bit half: the bytes keep their order.
        const __m256i lo = scale(_mm256_unpacklo_epi8(v, zero)), hi = scale(_mm256_unpackhi_epi8(v, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
    }
#elif defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), mul = _mm_set1_epi16(static_cast<int16_t>(m));
    const __m128i top = _mm_set1_epi16(255);
    const __m128i count = _mm_cvtsi32_si128(lift);
    // min(p, 255) as p - (p - 255 saturated at 0): SSE2 has no unsigned 16-bit minimum.
    const auto scale = [&](__m128i words) {
        const __m128i p = _mm_mulhi_epu16(_mm_sll_epi16(words, count), mul);
        return _mm_sub_epi16(p, _mm_subs_epu16(p, top));
    };
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i lo = scale(_mm_unpacklo_epi8(v, zero)), hi = scale(_mm_unpackhi_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    scale_fixed8_run_portable(out + i, in + i, n - i, lift, m);
}

}  // namespace IMVELA_KERNEL_VARIANT
}  // namespace imvela::kernel
