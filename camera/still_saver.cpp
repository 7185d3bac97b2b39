#include "camera/still_saver.h"

#include <cstring>
#include <new>

#include "camera/capture_engine.h"
#include "files/still_writer.h"
#include "imaging/image_buffer.h"
#include "platform/text_conversion.h"

namespace imvela {

namespace {
// Samples of 16-bit images carry this many significant bits when saved.
constexpr int32_t kStillSignificantBits = 12;
// A geometry change between sizing the copy and copying is retried this often.
constexpr int kCopyAttempts = 3;
}  // namespace

StillSaver::StillSaver(CaptureEngine& engine) : engine_(engine) {}

StillSaver::~StillSaver() = default;

StillSaver::Outcome StillSaver::save(const char* path, int32_t type) {
    if (!engine_.image_available()) return Outcome::kNoImage;
    std::lock_guard<std::mutex> saving(lock_);
    return save_current_image(path, type);
}

StillSaver::Outcome StillSaver::save_w(const IMVELA_WCHAR* path, int32_t type) {
    std::lock_guard<std::mutex> saving(lock_);
    char narrow[platform::kNarrowTextCapacity];
    if (!has_current_image() || !platform::wide_to_narrow(path, narrow, sizeof narrow)) return Outcome::kNoImage;
    return save_current_image(narrow, type);
}

bool StillSaver::has_current_image() {
    return engine_.with_output([](const CImageBuffer* out) { return out && out->has_pixels(); });
}

StillSaver::Outcome StillSaver::save_current_image(const char* path, int32_t type) {
    if (!is_still_type(type)) return has_current_image() ? Outcome::kFailed : Outcome::kNoImage;
    if (!copy_) copy_.reset(new (std::nothrow) CImageBuffer);
    if (!copy_) return Outcome::kFailed;
    for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
        if (copy_current_image(*copy_))
            return write_still(path, *copy_, type, kStillSignificantBits) ? Outcome::kSaved : Outcome::kFailed;
        if (!has_current_image()) return Outcome::kNoImage;
    }
    return Outcome::kFailed;
}

bool StillSaver::copy_current_image(CImageBuffer& copy) {
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
