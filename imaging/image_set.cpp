#include "imaging/image_set.h"

#include "imaging/color_mode.h"

namespace imvela {

namespace {

// Buffer index of the raw and the output image by colour mode.
constexpr BufferIndex kRawOfMode[kColorModeCount] = {kRaw8, kRaw16, kRaw8, kRaw8, kRaw16, kRaw16};
constexpr BufferIndex kOutputOfMode[kColorModeCount] = {kRaw8, kRaw16, kColor24, kColor32, kColor48, kColor64};

bool valid_mode(int32_t mode) { return mode >= 0 && mode < kColorModeCount; }

}  // namespace

CImageBuffer* ImageSet::raw(int32_t mode) { return valid_mode(mode) ? &buffers_[kRawOfMode[mode]] : nullptr; }

CImageBuffer* ImageSet::output(int32_t mode) { return valid_mode(mode) ? &buffers_[kOutputOfMode[mode]] : nullptr; }

bool ImageSet::create_for(int32_t mode, int32_t w, int32_t h) {
    if (!valid_mode(mode)) return false;
    if (mode <= 3 && !buffers_[kRaw8].Create(w, h, 8)) return false;
    if ((mode == 1 || mode >= 4) && !buffers_[kRaw16].Create(w, h, 16)) return false;
    if (mode != 1 && !buffers_[kColor24].Create(w, h, 24)) return false;
    if (mode == 3 && !buffers_[kColor32].Create(w, h, 32)) return false;
    // Gray mode 2 in colour mode 1 demosaics the 16-bit frame into the 48-bit buffer.
    if ((mode == 4 || mode == 1) && !buffers_[kColor48].Create(w, h, 48)) return false;
    if (mode == 5 && !buffers_[kColor64].Create(w, h, 64)) return false;
    return buffers_[kWorkCopy].CreateLike(output(mode)) != 0;
}

}  // namespace imvela
