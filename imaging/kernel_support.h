#pragma once
// Helpers shared by the kernel implementations (not part of the kernel interface).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_variant.h"

namespace imvela::kernel {
// Each instruction-set variant gets its own copy of these helpers, so that the linker never
// hands a baseline kernel a helper compiled for a newer processor.
inline namespace IMVELA_KERNEL_VARIANT {

inline int32_t rect_width(const ImageRect& r) { return r.right - r.left; }
inline int32_t rect_height(const ImageRect& r) { return r.bottom - r.top; }
inline bool rect_empty(const ImageRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// First byte of source row j of the rectangle (j counted from the rectangle's top).
inline const uint8_t* source_row(const uint8_t* src, const ImageRect& r, int32_t j, int32_t stride,
                                 uint16_t pixelBytes) {
    return src + static_cast<ptrdiff_t>(r.top + j) * stride + static_cast<ptrdiff_t>(r.left) * pixelBytes;
}

// First byte of destination row j (counted from y).
inline uint8_t* dest_row(uint8_t* dst, int32_t x, int32_t y, int32_t j, int32_t stride, uint16_t pixelBytes) {
    return dst + static_cast<ptrdiff_t>(y + j) * stride + static_cast<ptrdiff_t>(x) * pixelBytes;
}

// 16-bit words are stored little-endian; the library only runs on little-endian machines, so
// a word is read and written through memcpy (alignment-safe, compiles to one move).
inline uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Significant bits of 16-bit samples, limited to 8..16.
inline int32_t clamp_sample_bits(int32_t bits) { return bits < 8 ? 8 : (bits > 16 ? 16 : bits); }

// Double to int32 with truncation; values outside the int32 range saturate, NaN gives 0.
inline int32_t truncate_saturated(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

template <typename T>
inline T clamp_value(T v, T lo, T hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// A kernel's geometry arguments in one value, for helpers that walk the rectangle.
struct KernelArgs {
    uint8_t* dst;
    const uint8_t* src;
    const ImageRect* rect;
    int32_t x, y;
    uint16_t dstPixelBytes, srcPixelBytes;
    int32_t dstStride, srcStride;
};

// Colour flags of a Bayer sample from the phase and the sample's own column and row.
inline int32_t bayer_row_flag(int32_t phase, int32_t row) { return (phase & 1) ^ (row & 1); }
inline int32_t bayer_column_flag(int32_t phase, int32_t column) { return ((phase >> 1) & 1) ^ (column & 1); }



// out[i] = f(in[i]) for a run of n elements; in place when out == in. The two forms keep the
// compiler free to vectorise both without run-time overlap checks.
template <typename E, typename F>
inline void transform_run(E* out, const E* in, int32_t n, const F& f) {
    if (out == in) {
        for (int32_t i = 0; i < n; ++i) out[i] = f(out[i]);
    } else {
        E* __restrict o = out;
        const E* __restrict s = in;
        for (int32_t i = 0; i < n; ++i) o[i] = f(s[i]);
    }
}

}  // namespace IMVELA_KERNEL_VARIANT
}  // namespace imvela::kernel

// The geometry arguments of the kernel being defined (inside an IMVELA_PIXEL_KERNEL body).
#define IMVELA_KERNEL_ARGS \
    ::imvela::kernel::KernelArgs { dst, src, &rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride }
