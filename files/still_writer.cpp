// Each still type takes the image's rows as they are or converts them one at a time with a
// format kernel into a row of the layout its encoder wants; rows go top row first (the BMP
// file, being bottom-up, asks for them last row first).
#include "files/still_writer.h"

#include <cstring>
#include <memory>
#include <new>

#include "files/jpeg_writer.h"
#include "files/png_writer.h"
#include "files/replacing_file.h"
#include "files/tiff_writer.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"

namespace imvela {
namespace {

// The image's rows, through `kernel` (one row per call) into a row of `rowBits` per pixel,
// or straight from the image when there is no kernel.
class KernelRows : public StillRows {
public:
    KernelRows(const CImageBuffer& image, PixelKernel kernel, int32_t rowBits, bool opaque = false)
        : StillRows(image.width(), image.height()), image_(image), kernel_(kernel),
          rowBytes_(image.width() * (rowBits / 8)), rowPixelBytes_(static_cast<uint16_t>(rowBits / 8)) {
        // Filled once: bytes the kernel does not write (the fourth byte of 32-bit TIFF pixels)
        // stay 0, or 0xFF where they must read as opaque.
        if (kernel_) row_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(rowBytes_)]());
        if (row_ && opaque)
            for (int32_t i = 3; i < rowBytes_; i += 4) row_[static_cast<size_t>(i)] = 0xFF;
    }
    bool ready() const { return !kernel_ || row_; }

    const uint8_t* Row(int32_t y) override {
        const uint8_t* source = image_.bits() + static_cast<ptrdiff_t>(y) * image_.stride();
        if (!kernel_) return source;
        // One row: a flipping kernel has nothing to flip.
        const ImageRect rect{0, y, image_.width(), y + 1};
        kernel_(row_.get(), image_.bits(), rect, 0, 0, rowPixelBytes_, image_.bytes_per_pixel(), rowBytes_,
                image_.stride(), nullptr, 0);
        return row_.get();
    }

private:
    const CImageBuffer& image_;
    PixelKernel kernel_;
    int32_t rowBytes_;
    uint16_t rowPixelBytes_;
    std::unique_ptr<uint8_t[]> row_;
};

// How one encoder takes one depth: the row kernel (none = rows as they are) and the depth of
// the rows it makes.
struct RowPlan {
    PixelKernel kernel;
    int32_t rowBits;
    bool opaque = false;  // the fourth byte of 32-bit rows is 0xFF, not 0
};

bool jpeg_plan(int32_t bits, bool tenBits, RowPlan& plan, JpegInput& input) {
    switch (bits) {
    case 8: plan = {nullptr, 8}, input = JpegInput::kGray8; return true;
    case 16: plan = {tenBits ? ReduceMono16Flip10 : Shift16To8, 8}, input = JpegInput::kGray8; return true;
    case 24: plan = {nullptr, 24}, input = JpegInput::kBgr24; return true;
    case 32: plan = {nullptr, 32}, input = JpegInput::kBgrx32; return true;
    // 12 significant bits keep their top eight, as the preview does.
    case 48:
    case 64: plan = {tenBits ? ReduceColor16Flip10 : Shift48To24, 24}, input = JpegInput::kBgr24; return true;
    default: return false;
    }
}

bool png_plan(int32_t bits, bool tenBits, RowPlan& plan) {
    switch (bits) {
    case 8: plan = {nullptr, 8}; return true;
    case 16: plan = {tenBits ? ExpandMono16By6 : ExpandMono16By4, 16}; return true;
    case 24: plan = {nullptr, 24}; return true;
    case 32: plan = {InvertAlpha32, 32}; return true;
    case 48: plan = {tenBits ? ExpandColor48By6 : ExpandColor48By4, 48}; return true;
    case 64: plan = {tenBits ? ExpandColor64By6 : ExpandColor64By4, 64}; return true;
    default: return false;
    }
}

bool tiff_plan(int32_t bits, bool tenBits, RowPlan& plan) {
    switch (bits) {
    case 8: plan = {nullptr, 8}; return true;
    case 16: plan = {tenBits ? ExpandMono16By6 : ExpandMono16By4, 16}; return true;
    case 24: plan = {SwapRedBlue24, 24}; return true;
    // Readers take a fourth sample for alpha whatever it is declared as: it reads opaque.
    case 32: plan = {SwapRedBlue24, 32, true}; return true;
    case 48: plan = {tenBits ? ExpandColor48SwapBy6 : ExpandColor48SwapBy4, 48}; return true;
    case 64: plan = {tenBits ? ExpandColor64SwapBy6 : ExpandColor64SwapBy4, 64}; return true;
    default: return false;
    }
}

bool write_bitmap(CReplacingFile& file, const CImageBuffer& image) {
    uint8_t head[CImageBuffer::kBmpHeaderCapacity];
    bool ok = file.Write(head, image.BmpHeader(head));
    // Bottom-up file: the image's last row is stored first, so its first row shows at the top.
    for (int32_t y = image.height() - 1; ok && y >= 0; --y)
        ok = file.Write(image.bits() + static_cast<ptrdiff_t>(y) * image.stride(), static_cast<size_t>(image.stride()));
    return ok;
}

int32_t jpeg_quality(int32_t type) { return type == kStillJpeg100 ? 100 : type == kStillJpeg70 ? 70 : 20; }

bool encode(CReplacingFile& file, const CImageBuffer& image, int32_t type, bool tenBits) {
    const int32_t bits = image.bits_per_pixel();
    RowPlan plan{};
    switch (type) {
    case kStillBitmap: return write_bitmap(file, image);
    case kStillRaw: return file.Write(image.bits(), image.size_bytes());
    case kStillJpeg100:
    case kStillJpeg70:
    case kStillJpeg20: {
        JpegInput input{};
        if (!jpeg_plan(bits, tenBits, plan, input)) return false;
        KernelRows rows(image, plan.kernel, plan.rowBits);
        return rows.ready() && write_jpeg(file, rows, input, jpeg_quality(type));
    }
    case kStillPng: {
        if (!png_plan(bits, tenBits, plan)) return false;
        KernelRows rows(image, plan.kernel, plan.rowBits);
        return rows.ready() && write_png(file, rows, bits);
    }
    case kStillTiff: {
        if (!tiff_plan(bits, tenBits, plan)) return false;
        KernelRows rows(image, plan.kernel, plan.rowBits, plan.opaque);
        return rows.ready() && write_tiff(file, rows, bits);
    }
    default: return false;
    }
}

}  // namespace

int32_t write_still(const char* path, const CImageBuffer& image, int32_t type, int32_t significantBits) {
    if (!path || !is_still_type(type) || !image.has_pixels() || image.width() <= 0 || image.height() <= 0) return 0;
    if (significantBits != 12 && significantBits != 10) return 0;
    CReplacingFile file;
    if (!file.Create(path)) return 0;
    if (!encode(file, image, type, significantBits == 10)) return 0;  // the file discards itself
    return file.Commit() ? 1 : 0;
}

}  // namespace imvela
