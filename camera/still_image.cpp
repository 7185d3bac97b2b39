// Imvela_SaveImage and Imvela_SaveImageW: the current image into a still file. The frame lock
// is held only while the image is copied into a buffer kept for saving; conversion, encoding
// and writing run on that copy, so capture goes on meanwhile.
#include <cstring>

#include "camera/imvela.h"
#include "camera/still_writer.h"
#include "imaging/image_buffer.h"
#include "platform/text_conversion.h"

namespace imvela {

namespace {
// Samples of 16-bit images carry this many significant bits when saved.
constexpr int32_t kStillSignificantBits = 12;
// A geometry change between sizing the copy and copying is retried this often.
constexpr int kCopyAttempts = 3;
}  // namespace

int32_t CImvela::save_image(const char* path, int32_t type) {
    if (!device_ || !engine_.image_available()) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::mutex> saving(still_lock_);
    return save_current_image(path, type);
}

int32_t CImvela::save_image_w(const IMVELA_WCHAR* path, int32_t type) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::mutex> saving(still_lock_);
    char narrow[platform::kNarrowTextCapacity];
    if (!has_current_image() || !platform::wide_to_narrow(path, narrow, sizeof narrow))
        return (record_error(ERR_NOT_READY), 0);
    return save_current_image(narrow, type);
}

bool CImvela::has_current_image() {
    return engine_.with_output([](const CImageBuffer* out) { return out && out->has_pixels(); });
}

int32_t CImvela::save_current_image(const char* path, int32_t type) {
    if (!is_still_type(type)) return has_current_image() ? 0 : (record_error(ERR_NOT_READY), 0);
    if (!still_copy_) still_copy_.reset(new (std::nothrow) CImageBuffer);
    if (!still_copy_) return 0;
    CImageBuffer& copy = *still_copy_;
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        if (copy_current_image(copy)) return write_still(path, copy, type, kStillSignificantBits);
        if (!has_current_image()) return (record_error(ERR_NOT_READY), 0);
    }
    return 0;
}

bool CImvela::copy_current_image(CImageBuffer& copy) {
    int32_t width = 0, height = 0, bits = 0;
    const bool copied = engine_.with_output([&](const CImageBuffer* out) {
        if (!out || !out->has_pixels()) return false;
        width = out->width(), height = out->height(), bits = out->bits_per_pixel();
        if (!copy.has_pixels() || copy.width() != width || copy.height() != height || copy.bits_per_pixel() != bits)
            return false;
        std::memcpy(copy.bits(), out->bits(), out->size_bytes());
        return true;
    });
    // Sized outside the frame lock; the copy is taken on the next round.
    if (!copied && width > 0 && !copy.Create(width, height, bits)) copy.Release();
    return copied;
}

}  // namespace imvela
