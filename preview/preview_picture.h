#pragma once
// An image buffer as the preview window layer takes a picture.
#include "imaging/image_buffer.h"
#include "platform/preview_surface.h"

namespace imvela {

inline platform::PreviewPicture preview_picture(const CImageBuffer& buffer) {
    platform::PreviewPicture p;
    p.bitmap_info = &buffer.info();
    p.bits = buffer.bits();
    p.memory_dc = buffer.memory_dc();
    p.width = buffer.width();
    p.height = buffer.height();
    p.stride = buffer.stride();
    p.bits_per_pixel = buffer.bits_per_pixel();
    return p;
}

}  // namespace imvela
