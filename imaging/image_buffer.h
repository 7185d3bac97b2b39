#pragma once
// CImageBuffer: every picture of the library. A device-independent bitmap with its own memory
// device context on Windows, plain pixel memory where there is no GDI (or when the DIB section
// cannot be made). Memory row 0 is the top row of the picture; the header nevertheless declares
// a positive (bottom-up) height, so consumers that hand a buffer to a bottom-up destination
// flip it on the way.
#include <cstddef>
#include <cstdint>

#include "imaging/kernel_catalogue.h"
#include "platform/dib_surface.h"

namespace imvela {

// BITMAPINFOHEADER as Windows lays it out (40 bytes).
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

struct RgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

// Header and colour table together, as GDI takes them (BITMAPINFO with 256 colours).
struct BitmapInfo256 {
    BitmapInfoHeader header;
    RgbQuad colors[256];
};
static_assert(sizeof(BitmapInfo256) == 40 + 1024, "header followed directly by the colour table");

enum PaletteMode : int32_t {
    kPaletteGray = 0,     // gray ramp into the header and the section
    kPaletteEntries = 2,  // the caller's entries
};

// Bytes per row: whole bytes per pixel times the width, rounded up to a multiple of 4.
constexpr int32_t image_stride(int32_t width, int32_t bitsPerPixel) { return ((bitsPerPixel / 8) * width + 3) & ~3; }

class CImageBuffer {
public:
    CImageBuffer() { Init(); }
    ~CImageBuffer() { Release(); }
    CImageBuffer(const CImageBuffer&) = delete;
    CImageBuffer& operator=(const CImageBuffer&) = delete;

    void Init();
    // 1 on success. Sizes must be positive and the depth one of 8, 16, 24, 32, 48, 64;
    // otherwise 0 and the buffer is left as it was.
    int32_t Create(int32_t width, int32_t height, int32_t bitsPerPixel);
    int32_t CreateLike(const CImageBuffer* other);
    // Shows pixel memory the buffer does not own (rows `stride` bytes apart, at least a row's
    // bytes and even for 16-bit samples): no device context, and Release forgets the memory
    // without freeing it. 1 on success; 0 for a null pointer or sizes Create would refuse,
    // and the buffer is left as it was.
    int32_t View(uint8_t* bits, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t stride);
    // As View, for memory whose rows lie the other way round: the picture's top row is the
    // last of the `height` rows `stride` bytes apart from `memory`. Kernels applied to the
    // buffer then write the picture bottom row first into that memory. bits() is the top row
    // and stride() is negative: only row-addressed kernels may work on such a view, never a
    // copy of size_bytes() from bits().
    int32_t ViewReversed(uint8_t* memory, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t stride);
    int32_t Allocate(void* referenceDC);
    void Release();
    int32_t SetPalette(int32_t mode, const RgbQuad* entries = nullptr, uint32_t start = 0, uint32_t count = 0);
    // Copies a rectangle (top-down picture coordinates, whole source if none) to (x, y).
    // Between buffers of one depth, or from 8 bits through the colour table into 24 bits.
    int32_t BlitFrom(const CImageBuffer& source, const ImageRect* rect, int32_t x, int32_t y);
    // Runs a pixel kernel from `source` into this buffer with clipping; 0 when nothing overlaps
    // (and *rect, if given, is zeroed) or there is no kernel, else the kernel's result.
    int32_t Apply(PixelKernel kernel, const CImageBuffer& source, ImageRect* rect, int32_t x, int32_t y, void* user);
    int32_t ApplyScaled(ScaleKernel kernel, const CImageBuffer& source, const ImageRect* dstRect,
                        const ImageRect* srcRect);
    // The file and info headers of the buffer as a BMP file (with the colour table for 8 bits
    // and fewer) into `head`; the header's length, where the rows follow as they lie in memory.
    static constexpr uint32_t kBmpHeaderCapacity = 1078;
    uint32_t BmpHeader(uint8_t (&head)[kBmpHeaderCapacity]) const;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t stride() const { return stride_; }
    uint16_t bits_per_pixel() const { return bitsPerPixel_; }
    uint16_t bytes_per_pixel() const { return static_cast<uint16_t>(bitsPerPixel_ / 8); }
    uint8_t* bits() { return bits_; }
    const uint8_t* bits() const { return bits_; }
    size_t size_bytes() const {
        return static_cast<size_t>(height_) * static_cast<size_t>(stride_ < 0 ? -int64_t{stride_} : stride_);
    }
    void* memory_dc() const { return surface_.memoryDC; }
    void* bitmap() const { return surface_.bitmap; }
    const BitmapInfo256& info() const { return info_; }
    bool has_pixels() const { return bits_ != nullptr; }

private:
    bool ownsBits() const { return bits_ && !surface_.bitmap && !viewed_; }

    BitmapInfo256 info_;
    platform::DibSurface surface_;
    uint8_t* bits_ = nullptr;
    bool viewed_ = false;  // bits_ belongs to someone else
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t stride_ = 0;
    uint16_t bitsPerPixel_ = 0;
};

}  // namespace imvela
