#pragma once
// White-box access to a camera object's preview window and image buffers, so that the
// window can be created and painted without a running capture.
#include <string>

#include "camera/imvela.h"
#include "imaging/image_buffer.h"

namespace imvela {

struct CImvelaTestAccess {
    // Empty buffers, the capture window and preview rectangle of an image of this size, and
    // the colour mode a capture would have been prepared with.
    static void preview_setup(CImvela& c, int32_t width, int32_t height, int32_t colorMode) {
        for (auto& b : c.buffers_)
            if (!b) b.reset(new CImageBuffer());
        c.window_.width = width;
        c.window_.height = height;
        c.preview_rect_ = PreviewRect{0, 0, width, height};
        c.active_color_mode_ = colorMode;
    }
    static void preview_mode(CImvela& c, int32_t colorMode) { c.active_color_mode_ = colorMode; }
    static void preview_placement(CImvela& c, HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
        c.preview_parent_ = parent;
        c.preview_rect_ = PreviewRect{x, y, width, height};
    }
    static CImageBuffer& preview_buffer(CImvela& c, BufferIndex index) { return *c.buffers_[index]; }
    static int32_t preview_create(CImvela& c) { return c.create_preview_window(); }
    static void preview_destroy(CImvela& c) { c.destroy_preview_window(); }
    static void preview_paint(CImvela& c) { c.paint_preview(); }
    static bool preview_ready(const CImvela& c) { return c.preview_window_ready(); }
    static void preview_display_buffer(CImvela& c) { c.create_display_buffer(); }
    static uintptr_t preview_native(const CImvela& c) { return c.preview_ ? c.preview_->native_window() : 0; }
    static std::string preview_class(const CImvela& c) { return c.window_class_; }
};

}  // namespace imvela
