#pragma once
// Packing of 3-byte and 6-byte pixels: the one place where the kernels use hand-written
// vector code, because the compiler does not vectorise these byte shuffles. Each function has
// its portable twin right beside it; both give the same bytes. Every function may run in place
// (out == in) where noted: each step reads its input before it writes output that could
// overlap input not yet read.
#include <cstdint>
#include <cstring>

#include "imaging/kernel_variant.h"

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSSE3__)
#include <tmmintrin.h>
#endif

namespace imvela::kernel {
inline namespace IMVELA_KERNEL_VARIANT {

// ---- portable twins ----

// n 4-byte pixels to n 3-byte pixels (bytes 0, 1, 2, or 2, 1, 0 when swapped); in place allowed.
inline void pack32to24_portable(uint8_t* out, const uint8_t* in, int32_t n, bool swap) {
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t b = in[4 * i], g = in[4 * i + 1], r = in[4 * i + 2];
        out[3 * i] = swap ? r : b;
        out[3 * i + 1] = g;
        out[3 * i + 2] = swap ? b : r;
    }
}

// n 3-byte pixels with bytes 0 and 2 exchanged; in place allowed.
inline void swap24_portable(uint8_t* out, const uint8_t* in, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t b = in[3 * i], g = in[3 * i + 1], r = in[3 * i + 2];
        out[3 * i] = r;
        out[3 * i + 1] = g;
        out[3 * i + 2] = b;
    }
}

// Three planes of n samples to n pixels of three samples (blue, green, red).
template <typename S>
inline void interleave3_portable(uint8_t* __restrict out, const S* __restrict b, const S* __restrict g,
                                 const S* __restrict r, int32_t n) {
    S* __restrict o = reinterpret_cast<S*>(out);
    for (int32_t i = 0; i < n; ++i) {
        o[3 * i] = b[i];
        o[3 * i + 1] = g[i];
        o[3 * i + 2] = r[i];
    }
}

#if defined(__SSSE3__)

// ---- vector forms ----

// Shuffle masks that take byte k of a 48-byte group of 3-sample pixels (samples of S bytes)
// from the planes: mask[m][c] fills output vector m from the vector of plane c.
template <typename S>
struct Interleave3Masks {
    alignas(16) int8_t mask[3][3][16];
    Interleave3Masks() {
        for (int m = 0; m < 3; ++m)
            for (int c = 0; c < 3; ++c)
                for (int j = 0; j < 16; ++j) {
                    const int byte = 16 * m + j, sample = byte / static_cast<int>(sizeof(S));
                    const int pixel = sample / 3, channel = sample % 3;
                    mask[m][c][j] = channel == c ? static_cast<int8_t>(pixel * sizeof(S) + byte % sizeof(S)) : int8_t(-128);
                }
    }
};

#if defined(__AVX2__)

// The 32-byte form handles two 16-byte halves of each plane at once. Output block m of a half
// (bytes 16m .. 16m + 15 of the half's pixels) holds at sample position j the channel
// (kPerHalf * m + j) % 3: at each position the three blocks take the three channels. So each
// plane is first moved within its half to the positions its samples take (place), every block
// then takes at each position the channel it needs (two blends), and the halves' blocks are
// put in order.
template <typename S>
struct Interleave3WideMasks {
    static constexpr int kSample = static_cast<int>(sizeof(S));
    static constexpr int kPerHalf = 16 / kSample;  // samples per 16 bytes
    alignas(32) int8_t place[3][32];
    // select[c - 1]: the positions where block 0 takes channel c (1 or 2).
    alignas(32) int8_t select[2][32];
    Interleave3WideMasks() {
        for (int byte = 0; byte < 32; ++byte) {
            const int j = (byte % 16) / kSample;
            for (int c = 0; c < 3; ++c) {
                int m = 0;  // the block whose position j holds channel c
                while ((kPerHalf * m + j) % 3 != c) ++m;
                const int pixel = (kPerHalf * m + j) / 3;
                place[c][byte] = static_cast<int8_t>(pixel * kSample + byte % kSample);
            }
            for (int c = 1; c < 3; ++c) select[c - 1][byte] = j % 3 == c ? int8_t(-1) : int8_t(0);
        }
    }
};

#endif

template <typename S>
inline void interleave3(uint8_t* __restrict out, const S* __restrict b, const S* __restrict g, const S* __restrict r,
                        int32_t n) {
    int32_t i = 0;
#if defined(__AVX2__)
    {
        using Masks = Interleave3WideMasks<S>;
        static const Masks wide;
        const auto mask = [](const int8_t* m) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(m)); };
        const __m256i place[3] = {mask(wide.place[0]), mask(wide.place[1]), mask(wide.place[2])};
        const __m256i select1 = mask(wide.select[0]), select2 = mask(wide.select[1]);
        // Block m takes at each position the channel block 0 takes there, shifted by kShift * m.
        constexpr int kShift = Masks::kPerHalf % 3;
        constexpr int32_t wideStep = 2 * Masks::kPerHalf;  // pixels per 96 output bytes
        const auto load = [&](const S* p, int c) {
            return _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)), place[c]);
        };
        for (; i + wideStep <= n; i += wideStep) {
            const __m256i v[3] = {load(b, 0), load(g, 1), load(r, 2)};
            __m256i block[3];
            for (int m = 0; m < 3; ++m) {
                const int s = kShift * m % 3;
                block[m] = _mm256_blendv_epi8(_mm256_blendv_epi8(v[s], v[(s + 1) % 3], select1), v[(s + 2) % 3], select2);
            }
            __m256i* o = reinterpret_cast<__m256i*>(out + static_cast<ptrdiff_t>(3 * sizeof(S)) * i);
            _mm256_storeu_si256(o, _mm256_permute2x128_si256(block[0], block[1], 0x20));
            _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(block[2], block[0], 0x30));
            _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(block[1], block[2], 0x31));
        }
    }
#endif
    static const Interleave3Masks<S> masks;
    constexpr int32_t step = 16 / sizeof(S);  // pixels per 48 output bytes
    for (; i + step <= n; i += step) {
        const __m128i planes[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + i))};
        for (int m = 0; m < 3; ++m) {
            __m128i v = _mm_setzero_si128();
            for (int c = 0; c < 3; ++c)
                v = _mm_or_si128(v, _mm_shuffle_epi8(planes[c], _mm_load_si128(reinterpret_cast<const __m128i*>(masks.mask[m][c]))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<ptrdiff_t>(3 * sizeof(S)) * i + 16 * m), v);
        }
    }
    interleave3_portable(out + static_cast<ptrdiff_t>(3 * sizeof(S)) * i, b + i, g + i, r + i, n - i);
}

inline void pack32to24(uint8_t* out, const uint8_t* in, int32_t n, bool swap) {
    const __m128i mask = swap ? _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -128, -128, -128, -128)
                              : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8_t* p = in + 4 * i;
        const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), mask);
        const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), mask);
        const __m128i c = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), mask);
        const __m128i d = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), mask);
        uint8_t* q = out + 3 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16), _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 32), _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
    pack32to24_portable(out + 3 * i, in + 4 * i, n - i, swap);
}

// Five pixels per 16-byte step; the step's sixteenth byte is written unchanged and rewritten
// by the next step.
inline void swap24(uint8_t* out, const uint8_t* in, int32_t n) {
    const __m128i mask = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    int32_t i = 0;
    for (; 3 * (i + 5) + 1 <= 3 * n; i += 5)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * i),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * i)), mask));
    swap24_portable(out + 3 * i, in + 3 * i, n - i);
}

#else

template <typename S>
inline void interleave3(uint8_t* __restrict out, const S* __restrict b, const S* __restrict g, const S* __restrict r,
                        int32_t n) {
    interleave3_portable(out, b, g, r, n);
}
inline void pack32to24(uint8_t* out, const uint8_t* in, int32_t n, bool swap) { pack32to24_portable(out, in, n, swap); }
inline void swap24(uint8_t* out, const uint8_t* in, int32_t n) { swap24_portable(out, in, n); }

#endif

}  // namespace IMVELA_KERNEL_VARIANT
}  // namespace imvela::kernel
