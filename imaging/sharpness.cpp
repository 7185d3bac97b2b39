// Unsharp masking with a 4 x 4 box: every inner sample moves away from the mean of the 16
// samples in columns x - 2 .. x + 1 and rows y - 2 .. y + 1 by s / 10 of its difference from
// it. The source is an untouched copy of the destination (the work copy), or, for
// SharpenInPlace, the destination itself with a few rows of history.
//
// Rows are processed as flat runs of channel samples in chunks: the vertical 4-row sums of a
// chunk are formed once, the horizontal 4-pixel window is then four loads of those sums.
#include <algorithm>
#include <type_traits>

#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela::IMVELA_KERNEL_VARIANT {
namespace {

constexpr int32_t kChunk = 1536;  // flat output samples per chunk

// Source rows of a separate source buffer.
struct CopyRows {
    static constexpr bool kInPlace = false;
    const uint8_t* src;
    const ImageRect* rect;
    int32_t stride;
    uint16_t pixelBytes;
    void before(int32_t) {}
    const uint8_t* at(int32_t r) const { return kernel::source_row(src, *rect, r, stride, pixelBytes); }
};

// Source rows when the kernel rewrites its own source: each row is copied into a ring of
// three rows before it is rewritten, the rows above the rectangle's output rows and the row
// below them come from the caller (rows other bands rewrite at the same time, saved before).
constexpr int32_t kRingRowBytes = 16384;

struct RingRows {
    static constexpr bool kInPlace = true;
    const uint8_t* image;
    const ImageRect* rect;
    int32_t stride;
    uint16_t pixelBytes;
    int32_t height;
    const SharpenInPlaceBlock* block;
    uint8_t (*ring)[kRingRowBytes];
    int32_t current = -1;
    const uint8_t* buffer_row(int32_t r) const { return kernel::source_row(image, *rect, r, stride, pixelBytes); }
    void before(int32_t row) {
        std::memcpy(ring[row % 3], buffer_row(row), static_cast<size_t>(kernel::rect_width(*rect)) * pixelBytes);
        current = row;
    }
    const uint8_t* at(int32_t r) const {
        if (r < 2) return block->above[r];
        if (r == height - 2) return block->below;
        return r <= current ? ring[r % 3] : buffer_row(r);
    }
};

// Settings whose 12-bit work fits 16-bit lanes: |strength| = 10 tens + units with tens <= 8;
// sign is the strength's sign.
struct NarrowStrength {
    int16_t sign;
    int16_t tens;
    uint16_t units;
};
constexpr int32_t kNarrowTop = 4095;

// One chunk of 16-bit samples when all of its rows' samples are below 4096 and the limit is
// at most 4095: the same results as the 32-bit lanes, in lanes half as wide. Returns false,
// writing nothing, when a sample is larger. Column sums stay below 16384 and the 4-column
// total below 65536; the difference d and e = d * sign lie within +-4095, so e * tens and
// |e| * units fit 16 bits. The whole part e * tens is limited to +-8191 first: beyond that the
// result is limited to 0 or top either way, since the rest moves it by at most 4095 + 3685.
bool sharpen_chunk12(const uint16_t* const rows[4], int32_t base, int32_t span, int32_t n, int32_t step,
                     NarrowStrength st, int16_t top, uint16_t* result) {
    uint16_t sums[kChunk + 3 * 8];
    uint16_t any = 0;
    {
        const uint16_t* __restrict r0 = rows[0] + base;
        const uint16_t* __restrict r1 = rows[1] + base;
        const uint16_t* __restrict r2 = rows[2] + base;
        const uint16_t* __restrict r3 = rows[3] + base;
        uint16_t* __restrict s = sums;
        for (int32_t i = 0; i < span; ++i) {
            s[i] = static_cast<uint16_t>(r0[i] + r1[i] + r2[i] + r3[i]);
            any = static_cast<uint16_t>(any | r0[i] | r1[i] | r2[i] | r3[i]);
        }
    }
    if (any > kNarrowTop) return false;
    const uint16_t* __restrict centre = rows[2] + base + 2 * step;
    const uint16_t* __restrict s = sums;
    uint16_t* __restrict res = result;
    const int32_t o1 = step, o2 = 2 * step, o3 = 3 * step;
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t mean = static_cast<uint16_t>(static_cast<uint16_t>(s[i] + s[i + o1] + s[i + o2] + s[i + o3]) >> 4);
        const int16_t c = static_cast<int16_t>(centre[i]);
        const int16_t e = static_cast<int16_t>((c - mean) * st.sign);
        const uint16_t magnitude = static_cast<uint16_t>(e < 0 ? -e : e);
        const uint16_t tenth = static_cast<uint16_t>(static_cast<uint16_t>(magnitude * st.units) / 10);
        const int16_t fraction = static_cast<int16_t>(e < 0 ? -tenth : tenth);
        const int16_t whole = std::min<int16_t>(std::max<int16_t>(static_cast<int16_t>(e * st.tens), -8191), 8191);
        const int16_t moved = static_cast<int16_t>(c + whole + fraction);
        res[i] = static_cast<uint16_t>(std::min<int16_t>(std::max<int16_t>(moved, 0), top));
    }
    return true;
}

// Vertical 4-row sums of samples base .. base + span - 1.
template <typename T, typename Acc>
inline void sum_columns(const T* const rows[4], int32_t base, int32_t span, Acc* __restrict sums) {
    const T* __restrict r0 = rows[0] + base;
    const T* __restrict r1 = rows[1] + base;
    const T* __restrict r2 = rows[2] + base;
    const T* __restrict r3 = rows[3] + base;
    for (int32_t i = 0; i < span; ++i) sums[i] = static_cast<Acc>(r0[i] + r1[i] + r2[i] + r3[i]);
}

// A chunk's n results from its column sums: each centre sample moved away from its 4 x 4 mean
// by strength / 10 of the difference, limited to 0 .. top.
template <typename T, typename Acc, typename Wide>
inline void sharpen_from_sums(const Acc* __restrict s, const T* __restrict centre, int32_t n, int32_t step,
                              int32_t strength, int32_t top, T* __restrict res) {
    const int32_t o1 = step, o2 = 2 * step, o3 = 3 * step;
    if constexpr (std::is_same_v<Wide, int32_t> && sizeof(T) == 2) {
        // d * strength / 10 as d * tens + trunc(d * units / 10), strength = 10 tens + units
        // (both of the strength's sign, so the whole part and the fraction never cancel).
        // |d * units| < 2^20: its single-precision tenth truncates to the exact quotient, three
        // vector steps where the integer division takes many.
        const int32_t tens = strength / 10, units = strength % 10;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t mean = (s[i] + s[i + o1] + s[i + o2] + s[i + o3]) >> 4;
            const int32_t c = centre[i];
            const int32_t d = c - mean;
            const int32_t moved = c + d * tens + static_cast<int32_t>(static_cast<float>(d * units) * 0.1f);
            res[i] = static_cast<T>(std::min(std::max(moved, 0), top));
        }
    } else {
        // Limits of the work type's own width, so that the vector lanes stay that wide.
        const Wide wideTop = static_cast<Wide>(top), wideStrength = static_cast<Wide>(strength);
        for (int32_t i = 0; i < n; ++i) {
            const Acc mean = static_cast<Acc>(static_cast<Acc>(s[i] + s[i + o1] + s[i + o2] + s[i + o3]) >> 4);
            const Wide c = static_cast<Wide>(centre[i]);
            const Wide moved = static_cast<Wide>(c + static_cast<Wide>((c - static_cast<Wide>(mean)) * wideStrength) / 10);
            res[i] = static_cast<T>(moved < Wide{0} ? Wide{0} : (moved > wideTop ? wideTop : moved));
        }
    }
}

// How a chunk's results reach the output row; the same for every chunk of a call.
enum class ChunkStore {
    kWritten,           // packed rows: the results were computed in place
    kSavedFourth,       // rewritten in place, four samples a pixel: fourth samples from the saved row
    kOwnFourth,         // four samples a pixel: whole words, the output's fourth sample kept
    kWholePixels,       // chunks start at pixel boundaries: the channels of each pixel at once
    kScatteredSamples,  // anything else: sample by sample
};

template <typename T, typename Rows>
ChunkStore chunk_store(uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t step, int32_t channels) {
    if (dstPixelBytes == srcPixelBytes && step == channels) return ChunkStore::kWritten;
    if (Rows::kInPlace && step == 4 && channels == 3) return ChunkStore::kSavedFourth;
    if (dstPixelBytes == srcPixelBytes && step == 4 && channels == 3) return ChunkStore::kOwnFourth;
    if (dstPixelBytes == srcPixelBytes && kChunk % step == 0) return ChunkStore::kWholePixels;
    return ChunkStore::kScatteredSamples;
}

// Writes the channels of a chunk's results (never a fourth byte or word) into the output row
// `out`; `saved` is the source row of this output row.
template <typename T>
void store_chunk(ChunkStore store, uint8_t* out, const T* result, const T* saved, int32_t k0, int32_t n, int32_t step,
                 int32_t channels, uint16_t dstPixelBytes) {
    using Word = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;
    constexpr Word kFourth = Word(~Word(0)) << (24 * sizeof(T));
    uint8_t* pixels = out + static_cast<ptrdiff_t>(k0) * sizeof(T);
    switch (store) {
        case ChunkStore::kWritten: return;
        case ChunkStore::kSavedFourth: {
            const uint8_t* before = reinterpret_cast<const uint8_t*>(saved + k0);
            for (int32_t p = 0; p < n / 4; ++p) {
                Word value, old;
                std::memcpy(&value, pixels + p * sizeof(Word), sizeof(Word));
                std::memcpy(&old, before + p * sizeof(Word), sizeof(Word));
                value = (old & kFourth) | (value & ~kFourth);
                std::memcpy(pixels + p * sizeof(Word), &value, sizeof(Word));
            }
            return;
        }
        case ChunkStore::kOwnFourth:
            for (int32_t p = 0; p < n / 4; ++p) {
                Word old, value;
                std::memcpy(&old, pixels + p * sizeof(Word), sizeof(Word));
                std::memcpy(&value, &result[4 * p], sizeof(Word));
                old = (old & kFourth) | (value & ~kFourth);
                std::memcpy(pixels + p * sizeof(Word), &old, sizeof(Word));
            }
            return;
        case ChunkStore::kWholePixels:
            for (int32_t p = 0; p < n; p += step)
                std::memcpy(pixels + static_cast<ptrdiff_t>(p) * sizeof(T), &result[p],
                            static_cast<size_t>(channels) * sizeof(T));
            return;
        case ChunkStore::kScatteredSamples:
            for (int32_t i = 0; i < n; ++i) {
                const int32_t flat = k0 + i, channel = flat - (flat / step) * step;
                if (channel >= channels) continue;
                std::memcpy(out + static_cast<ptrdiff_t>(flat / step) * dstPixelBytes + channel * sizeof(T), &result[i],
                            sizeof(T));
            }
            return;
    }
}

// Sample type T; Acc holds the column sums, Wide the difference times the setting.
template <typename T, typename Acc, typename Wide, typename Rows>
void sharpen(uint8_t* dst, Rows source, const ImageRect& rect, int32_t x, int32_t y, uint16_t dstPixelBytes,
             uint16_t srcPixelBytes, int32_t dstStride, int32_t channels, int32_t strength, int32_t top) {
    const int32_t width = kernel::rect_width(rect), height = kernel::rect_height(rect);
    const int32_t step = srcPixelBytes / static_cast<int32_t>(sizeof(T));  // samples per source pixel
    const int32_t first = 2 * step, last = (width - 2) * step;  // flat sample range of columns 2 .. width - 3
    const ChunkStore store = chunk_store<T, Rows>(dstPixelBytes, srcPixelBytes, step, channels);
    // Packed rows take the results where they go, and so do rows of four samples rewritten in
    // place (their fourth samples are put back from the saved row); others go through `result`.
    const bool direct = store == ChunkStore::kWritten || store == ChunkStore::kSavedFourth;
    const int32_t tens = strength / 10, units = strength % 10;
    constexpr bool kTwelveBitLanes = std::is_same_v<Wide, int32_t> && sizeof(T) == 2;
    const bool narrow = kTwelveBitLanes && top <= kNarrowTop && tens >= -8 && tens <= 8;
    const NarrowStrength narrowStrength{static_cast<int16_t>(strength < 0 ? -1 : 1),
                                        static_cast<int16_t>(tens < 0 ? -tens : tens),
                                        static_cast<uint16_t>(units < 0 ? -units : units)};
    Acc sums[kChunk + 3 * 8];
    T result[kChunk];
    for (int32_t row = 2; row < height - 2; ++row) {
        source.before(row);
        const T* rows[4];
        for (int32_t r = 0; r < 4; ++r) rows[r] = reinterpret_cast<const T*>(source.at(row - 2 + r));
        // The row the next output row adds, asked for ahead: the others are in the cache.
        const T* ahead = row + 2 < height ? reinterpret_cast<const T*>(source.at(row + 2)) : nullptr;
        uint8_t* out = kernel::dest_row(dst, x, y, row, dstStride, dstPixelBytes);
        for (int32_t k0 = first; k0 < last; k0 += kChunk) {
            const int32_t n = std::min(kChunk, last - k0);
            // Column sums for samples k0 - 2 step .. k0 + n + step - 1.
            const int32_t base = k0 - 2 * step, span = n + 3 * step;
            if (ahead)
                for (int32_t i = 0; i < span; i += 64 / static_cast<int32_t>(sizeof(T))) __builtin_prefetch(ahead + base + i);
            T* target = direct ? reinterpret_cast<T*>(out + static_cast<ptrdiff_t>(k0) * sizeof(T)) : result;
            bool done = false;
            if constexpr (kTwelveBitLanes) {
                if (narrow)
                    done = sharpen_chunk12(rows, base, span, n, step, narrowStrength, static_cast<int16_t>(top), target);
            }
            if (!done) {
                sum_columns(rows, base, span, sums);
                sharpen_from_sums<T, Acc, Wide>(sums, rows[2] + k0, n, step, strength, top, target);
            }
            store_chunk(store, out, result, rows[2], k0, n, step, channels, dstPixelBytes);
        }
    }
}

template <typename T, typename Rows>
void sharpen_rows(uint8_t* dst, const Rows& source, const ImageRect& rect, int32_t x, int32_t y, uint16_t dstPixelBytes,
                  uint16_t srcPixelBytes, int32_t dstStride, int32_t channels, int32_t s, int32_t sampleBits) {
    if constexpr (sizeof(T) == 1) {
        // Differences of at most 255 times settings up to 128 fit in 16 bits.
        if (s >= -128 && s <= 128)
            sharpen<uint8_t, int16_t, int16_t>(dst, source, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride,
                                               channels, s, 255);
        else
            sharpen<uint8_t, int16_t, int64_t>(dst, source, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride,
                                               channels, s, 255);
    } else {
        const int32_t top = (1 << kernel::clamp_sample_bits(sampleBits)) - 1;
        if (s >= -32767 && s <= 32767)
            sharpen<uint16_t, int32_t, int32_t>(dst, source, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride,
                                                channels, s, top);
        else
            sharpen<uint16_t, int32_t, int64_t>(dst, source, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride,
                                                channels, s, top);
    }
}

template <typename T>
bool sharpen_geometry(const ImageRect& rect, uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t channels) {
    const int32_t need = channels * static_cast<int32_t>(sizeof(T));
    if (dstPixelBytes < need || srcPixelBytes < need || srcPixelBytes > 8 || srcPixelBytes % sizeof(T) != 0)
        return false;
    return kernel::rect_width(rect) > 4 && kernel::rect_height(rect) > 4;
}

template <typename T>
int32_t sharpen_kernel(uint8_t* dst, const uint8_t* src, const ImageRect& rect, int32_t x, int32_t y,
                       uint16_t dstPixelBytes, uint16_t srcPixelBytes, int32_t dstStride, int32_t srcStride, void* user,
                       int32_t channels) {
    // The filter reads neighbours of the samples it writes: it needs a separate source.
    if (!dst || !src || !user || dst == src || kernel::rect_empty(rect)) return 1;
    if (!sharpen_geometry<T>(rect, dstPixelBytes, srcPixelBytes, channels)) return 1;
    const auto& block = *static_cast<const AdjustmentBlock*>(user);
    sharpen_rows<T>(dst, CopyRows{src, &rect, srcStride, srcPixelBytes}, rect, x, y, dstPixelBytes, srcPixelBytes,
                    dstStride, channels, block.value, block.sampleBits);
    return 1;
}

template <typename T>
int32_t sharpen_in_place(uint8_t* image, const ImageRect& rect, int32_t x, int32_t y, uint16_t pixelBytes,
                         int32_t stride, const SharpenInPlaceBlock& block) {
    const int32_t channels = block.channels == 1 ? 1 : 3;
    if (!block.above[0] || !block.above[1] || !block.below) return 1;
    if (!sharpen_geometry<T>(rect, pixelBytes, pixelBytes, channels)) return 1;
    if (x != rect.left || y != rect.top || int64_t{kernel::rect_width(rect)} * pixelBytes > kRingRowBytes) return 1;
    uint8_t ring[3][kRingRowBytes];
    RingRows rows{image, &rect, stride, pixelBytes, kernel::rect_height(rect), &block, ring};
    sharpen_rows<T>(image, rows, rect, x, y, pixelBytes, pixelBytes, stride, channels, block.value, block.sampleBits);
    return 1;
}

}  // namespace

IMVELA_PIXEL_KERNEL(SharpenMono8) {
    return sharpen_kernel<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user, 1);
}
IMVELA_PIXEL_KERNEL(SharpenColor8) {
    return sharpen_kernel<uint8_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user, 3);
}
IMVELA_PIXEL_KERNEL(SharpenMono16) {
    return sharpen_kernel<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user, 1);
}
IMVELA_PIXEL_KERNEL(SharpenColor16) {
    return sharpen_kernel<uint16_t>(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride, srcStride, user, 3);
}
IMVELA_PIXEL_KERNEL(SharpenInPlace) {
    if (!dst || dst != src || !user || kernel::rect_empty(rect) || dstPixelBytes != srcPixelBytes ||
        dstStride != srcStride)
        return 1;
    const auto& block = *static_cast<const SharpenInPlaceBlock*>(user);
    if (block.sampleBytes == 2) return sharpen_in_place<uint16_t>(dst, rect, x, y, dstPixelBytes, dstStride, block);
    return sharpen_in_place<uint8_t>(dst, rect, x, y, dstPixelBytes, dstStride, block);
}

}  // namespace imvela::IMVELA_KERNEL_VARIANT
