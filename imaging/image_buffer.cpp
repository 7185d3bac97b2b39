#include "imaging/image_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>


namespace imvela {

namespace {

bool supported_depth(int32_t bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

// Largest pixel memory a buffer may have: the row and frame sizes must fit 32-bit arithmetic.
bool size_fits(int32_t width, int32_t height, int32_t bitsPerPixel) {
    const int64_t stride = ((static_cast<int64_t>(bitsPerPixel) / 8) * width + 3) & ~int64_t{3};
    return stride <= INT32_MAX && stride * height <= INT32_MAX;
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

void CImageBuffer::Init() {
    std::memset(&info_, 0, sizeof info_);
    info_.header.biSize = 40;
    surface_ = platform::DibSurface{};
    bits_ = nullptr;
    viewed_ = false;
    width_ = height_ = stride_ = 0;
    bitsPerPixel_ = 0;
}

int32_t CImageBuffer::Create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (width <= 0 || height <= 0 || !supported_depth(bitsPerPixel) || !size_fits(width, height, bitsPerPixel))
        return 0;
    Release();
    info_.header.biSize = 40;
    info_.header.biWidth = width;
    info_.header.biHeight = height;
    info_.header.biPlanes = 1;
    info_.header.biBitCount = static_cast<uint16_t>(bitsPerPixel);
    info_.header.biCompression = 0;  // BI_RGB
    width_ = width;
    height_ = height;
    stride_ = image_stride(width, bitsPerPixel);
    bitsPerPixel_ = static_cast<uint16_t>(bitsPerPixel);
    return Allocate(nullptr);
}

int32_t CImageBuffer::CreateLike(const CImageBuffer* other) {
    if (!other || other == this || other->width_ <= 0 || other->height_ <= 0 || other->bitsPerPixel_ == 0) return 0;
    Release();
    std::memcpy(&info_.header, &other->info_.header, sizeof info_.header);
    width_ = other->width_;
    height_ = other->height_;
    stride_ = other->stride_;
    bitsPerPixel_ = other->bitsPerPixel_;
    return Allocate(other->surface_.memoryDC);
}

int32_t CImageBuffer::View(uint8_t* bits, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t stride) {
    if (!bits || width <= 0 || height <= 0 || !supported_depth(bitsPerPixel) || !size_fits(width, height, bitsPerPixel))
        return 0;
    const int64_t row = int64_t{bitsPerPixel / 8} * width;
    if (stride < row || int64_t{stride} * height > INT32_MAX || (bitsPerPixel >= 16 && stride % 2 != 0)) return 0;
    Release();
    info_.header.biWidth = width;
    info_.header.biHeight = height;
    info_.header.biPlanes = 1;
    info_.header.biBitCount = static_cast<uint16_t>(bitsPerPixel);
    width_ = width;
    height_ = height;
    stride_ = stride;
    bitsPerPixel_ = static_cast<uint16_t>(bitsPerPixel);
    bits_ = bits;
    viewed_ = true;
    return 1;
}

int32_t CImageBuffer::ViewReversed(uint8_t* memory, int32_t width, int32_t height, int32_t bitsPerPixel,
                                   int32_t stride) {
    if (!View(memory, width, height, bitsPerPixel, stride)) return 0;
    bits_ = memory + static_cast<ptrdiff_t>(height - 1) * stride;
    stride_ = -stride;
    return 1;
}

int32_t CImageBuffer::Allocate(void* referenceDC) {
    if (width_ <= 0 || height_ <= 0 || stride_ <= 0) return 0;
    viewed_ = false;
    if (bitsPerPixel_ == 8) SetPalette(kPaletteGray);
    switch (platform::create_dib_surface(&info_, referenceDC, surface_, bits_)) {
        case platform::DibResult::Created:
            return 1;
        case platform::DibResult::ContextFailed:
            Release();
            return 0;
        case platform::DibResult::NoSection:
            break;
    }
    // Ordinary memory, zeroed; such a buffer has no device context.
    bits_ = new (std::nothrow) uint8_t[size_bytes()]();
    if (!bits_) {
        Release();
        return 0;
    }
    return 1;
}

void CImageBuffer::Release() {
    if (ownsBits()) delete[] bits_;
    platform::destroy_dib_surface(surface_);
    bits_ = nullptr;
    viewed_ = false;
    width_ = height_ = stride_ = 0;
    bitsPerPixel_ = 0;
    std::memset(&info_, 0, sizeof info_);
    info_.header.biSize = 40;
}

int32_t CImageBuffer::SetPalette(int32_t mode, const RgbQuad* entries, uint32_t start, uint32_t count) {
    if (mode == kPaletteGray) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            info_.colors[i] = RgbQuad{v, v, v, 0};
        }
        platform::set_dib_colors(surface_.memoryDC, 0, 256, info_.colors);
    } else if (mode == kPaletteEntries && entries && start < 256) {
        count = std::min(count, 256 - start);
        platform::set_dib_colors(surface_.memoryDC, start, count, entries);
        // The header's table follows, so buffers without a section report the same colours.
        std::memcpy(&info_.colors[start], entries, count * sizeof(RgbQuad));
    }
    return 1;
}

int32_t CImageBuffer::BlitFrom(const CImageBuffer& source, const ImageRect* rect, int32_t x, int32_t y) {
    const ImageRect r = rect ? *rect : ImageRect{0, 0, source.width_, source.height_};
    if (surface_.memoryDC && source.surface_.memoryDC)
        return platform::blit_surface(surface_.memoryDC, x, y, r.right - r.left, r.bottom - r.top,
                                      source.surface_.memoryDC, r.left, r.top)
                   ? 1
                   : 0;
    // Without device contexts: the same copy by hand, between buffers of one depth. Device
    // coordinates count rows from the top of the bottom-up bitmap, i.e. from the last memory row.
    // A palette image into 24 bits goes through the colour table, as the graphics system does.
    const bool expand = bitsPerPixel_ == 24 && source.bitsPerPixel_ == 8;
    if (!bits_ || !source.bits_ || (bitsPerPixel_ != source.bitsPerPixel_ && !expand)) return 0;
    int32_t sl = r.left, st = r.top, sr = r.right, sb = r.bottom, dx = x, dy = y;
    if (sl < 0) { dx -= sl; sl = 0; }
    if (st < 0) { dy -= st; st = 0; }
    if (dx < 0) { sl -= dx; dx = 0; }
    if (dy < 0) { st -= dy; dy = 0; }
    sr = std::min({sr, source.width_, sl + (width_ - dx)});
    sb = std::min({sb, source.height_, st + (height_ - dy)});
    if (sr <= sl || sb <= st) return 1;
    const size_t bytes = static_cast<size_t>(sr - sl) * bytes_per_pixel();
    for (int32_t j = 0; j < sb - st; ++j) {
        const uint8_t* in = source.bits_ + static_cast<ptrdiff_t>(source.height_ - 1 - (st + j)) * source.stride_ +
                            static_cast<ptrdiff_t>(sl) * source.bytes_per_pixel();
        uint8_t* out = bits_ + static_cast<ptrdiff_t>(height_ - 1 - (dy + j)) * stride_ +
                       static_cast<ptrdiff_t>(dx) * bytes_per_pixel();
        if (!expand) {
            std::memmove(out, in, bytes);
            continue;
        }
        for (int32_t i = 0; i < sr - sl; ++i, out += 3) {
            const RgbQuad& c = source.info_.colors[in[i]];
            out[0] = c.blue, out[1] = c.green, out[2] = c.red;
        }
    }
    return 1;
}

int32_t CImageBuffer::Apply(PixelKernel kernel, const CImageBuffer& source, ImageRect* rect, int32_t x, int32_t y,
                            void* user) {
    const auto fail = [&] {
        if (rect) *rect = ImageRect{0, 0, 0, 0};
        return 0;
    };
    if (!kernel || !bits_ || !source.bits_) return fail();
    const ImageRect r = rect ? *rect : ImageRect{0, 0, source.width_, source.height_};
    // Destination rectangle, in 64 bits so that no position or size can overflow.
    int64_t tl = x, tt = y, tr = int64_t{x} + (int64_t{r.right} - r.left), tb = int64_t{y} + (int64_t{r.bottom} - r.top);
    if (tr <= 0 || tb <= 0 || tl >= width_ || tt >= height_) return fail();
    const int64_t ctl = std::max<int64_t>(tl, 0), ctt = std::max<int64_t>(tt, 0);
    tr = std::min<int64_t>(tr, width_);
    tb = std::min<int64_t>(tb, height_);
    // The source rectangle moves with the destination's clipped edges.
    int64_t rl = r.left + (ctl - tl), rt = r.top + (ctt - tt);
    int64_t rr = rl + (tr - ctl), rb = rt + (tb - ctt);
    tl = ctl;
    tt = ctt;
    if (rr <= 0 || rb <= 0 || rl >= source.width_ || rt >= source.height_) return fail();
    // Clipping the source moves the destination edges by the same amounts, so the pixels
    // keep their correspondence and nothing lands outside the destination.
    if (rl < 0) { tl -= rl; rl = 0; }
    if (rt < 0) { tt -= rt; rt = 0; }
    if (rr > source.width_) { tr -= rr - source.width_; rr = source.width_; }
    if (rb > source.height_) { tb -= rb - source.height_; rb = source.height_; }
    if (tr <= tl || tb <= tt) return fail();
    // Rows counted from the other end of each buffer, as the kernels address them.
    const ImageRect converted{static_cast<int32_t>(rl), static_cast<int32_t>(source.height_ - rb),
                              static_cast<int32_t>(rr), static_cast<int32_t>(source.height_ - rt)};
    return kernel(bits_, source.bits_, converted, static_cast<int32_t>(tl), static_cast<int32_t>(height_ - tb),
                  bytes_per_pixel(), source.bytes_per_pixel(), stride_, source.stride_, user, 0);
}

int32_t CImageBuffer::ApplyScaled(ScaleKernel kernel, const CImageBuffer& source, const ImageRect* dstRect,
                                  const ImageRect* srcRect) {
    if (!kernel || !bits_ || !source.bits_) return 0;
    const ImageRect d = dstRect ? *dstRect : ImageRect{0, 0, width_, height_};
    const ImageRect s = srcRect ? *srcRect : ImageRect{0, 0, source.width_, source.height_};
    return kernel(bits_, source.bits_, d, s, width_, height_, source.width_, source.height_, bytes_per_pixel(),
                  source.bytes_per_pixel(), stride_, source.stride_, 0, 0);
}

uint32_t CImageBuffer::BmpHeader(uint8_t (&head)[kBmpHeaderCapacity]) const {
    const bool withTable = bitsPerPixel_ <= 8;
    const uint32_t offset = withTable ? kBmpHeaderCapacity : 54;
    std::memset(head, 0, sizeof head);
    put16(head, 0x4D42);
    put32(head + 2, offset + static_cast<uint32_t>(size_bytes()));
    put32(head + 10, offset);
    const BitmapInfoHeader& h = info_.header;
    uint8_t* p = head + 14;
    put32(p, h.biSize);
    put32(p + 4, static_cast<uint32_t>(h.biWidth));
    put32(p + 8, static_cast<uint32_t>(h.biHeight));
    put16(p + 12, h.biPlanes);
    put16(p + 14, h.biBitCount);
    put32(p + 16, h.biCompression);
    put32(p + 20, h.biSizeImage);
    put32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    put32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    put32(p + 32, h.biClrUsed);
    put32(p + 36, h.biClrImportant);
    if (withTable) {
        // The section's own table where there is one; the header's copy otherwise.
        RgbQuad colors[256];
        std::memcpy(colors, info_.colors, sizeof colors);
        platform::get_dib_colors(surface_.memoryDC, 0, 256, colors);
        std::memcpy(head + 54, colors, sizeof colors);
    }
    return offset;
}

}  // namespace imvela
