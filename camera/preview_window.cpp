// The preview window: a child window inside the application's preview parent, or a top-level
// window whose client area has the image's size. Every processed frame is painted into it,
// directly when the client area has the picture's size, else scaled through the display buffer.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/imvela.h"
#include "camera/preview_picture.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "platform/clock.h"

namespace imvela {

namespace {

// Width and height are divided by this in the sub-sampling modes 1/17, 2/18 and 3/19.
int32_t sub_sample_divisor(int32_t mode) {
    switch (mode) {
        case 1: case 17: return 2;
        case 2: case 18: return 4;
        case 3: case 19: return 8;
        default: return 1;
    }
}

// The display buffer holds 8-bit gray for the monochrome modes, blue-green-red otherwise.
int32_t display_bits(int32_t colorMode) { return colorMode <= 1 ? 8 : 24; }

// Converts `from` into `to` with a kernel when both hold pixels; `to` is then the picture.
CImageBuffer* converted(CImageBuffer* to, PixelKernel kernel, CImageBuffer* from) {
    if (!to || !from || !to->has_pixels() || !from->has_pixels()) return nullptr;
    to->Apply(kernel, *from, nullptr, 0, 0, nullptr);
    return to;
}

}  // namespace

int32_t CImvela::create_preview_window() {
    const PreviewRect rect = preview_rect_;  // x, y, width, height
    platform::PreviewPlacement placement;
    placement.parent = preview_parent_;
    if (preview_parent_) {
        placement.x = rect.left;
        placement.y = rect.top;
        placement.width = rect.right;
        placement.height = rect.bottom;
    } else {
        if (rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0) return 0;
        const CaptureWindow window = capture_window();
        const int32_t divisor = sub_sample_divisor(sub_sample());
        placement.width = window.width / divisor;
        placement.height = window.height / divisor;
    }
    // A class name of its own for every window: the object's address and a changing number.
    char name[sizeof window_class_];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)),
                  static_cast<unsigned>(platform::tick_count() + static_cast<uint32_t>(std::rand())));
    placement.class_name = name;

    std::unique_ptr<platform::PreviewSurface> surface = platform::open_preview_surface(placement);
    if (!surface) return 0;
    // A window made before (a second preview start) goes; the worker may be painting it.
    {
        std::lock_guard<std::recursive_mutex> guard(frame_lock_);
        preview_.swap(surface);
        std::memcpy(window_class_, name, sizeof window_class_);
    }
    return 1;
}

void CImvela::destroy_preview_window() {
    std::unique_ptr<platform::PreviewSurface> old;
    {
        std::lock_guard<std::recursive_mutex> guard(frame_lock_);
        old.swap(preview_);
        window_class_[0] = '\0';
    }
    // Destroyed outside the lock: no worker can reach it any more.
}

bool CImvela::preview_window_ready() const {
    // Asking the window is no change of the object's state, yet it must not meet a swap.
    std::lock_guard<std::recursive_mutex> guard(const_cast<std::recursive_mutex&>(frame_lock_));
    int32_t width = 0, height = 0;
    return preview_ && preview_->drawable_size(width, height);
}

void CImvela::create_display_buffer() {
    std::lock_guard<std::recursive_mutex> guard(frame_lock_);
    int32_t width = 0, height = 0;
    CImageBuffer* display = buffers_[kDisplay].get();
    if (!preview_ || !display || !preview_->drawable_size(width, height)) return;
    display->Create(width, height, display_bits(load_relaxed(active_color_mode_)));
}

void CImvela::paint_preview() {
    std::lock_guard<std::recursive_mutex> guard(frame_lock_);
    int32_t width = 0, height = 0;
    if (!preview_ || !preview_->drawable_size(width, height)) return;

    // The picture source of the colour mode: the 16-bit and the wider colour pictures are
    // reduced into the 8-bit raw and the 24-bit buffer first.
    const int32_t mode = load_relaxed(active_color_mode_);
    auto buffer = [this](BufferIndex index) { return buffers_[index].get(); };
    CImageBuffer* source = nullptr;
    switch (mode) {
        case 0: source = buffer(kRaw8); break;
        case 1: source = converted(buffer(kRaw8), Shift16To8, buffer(kRaw16)); break;
        case 2: source = buffer(kColor24); break;
        case 3: source = converted(buffer(kColor24), Drop32To24, buffer(kColor32)); break;
        case 4: source = converted(buffer(kColor24), Shift48To24, buffer(kColor48)); break;
        case 5: source = converted(buffer(kColor24), Shift48To24, buffer(kColor64)); break;
        default: break;
    }
    if (!source || !source->has_pixels()) return;

    // The window shows the picture at its own size: one copy, no intermediate buffer.
    if (width == source->width() && height == source->height() && mode != 1) {
        preview_->show_top_down(preview_picture(*source));
        return;
    }
    // Otherwise scale it into the display buffer, re-made only when the client size changes.
    CImageBuffer* display = buffer(kDisplay);
    if (!display) return;
    const int32_t bits = display_bits(mode);
    if (display->width() != width || display->height() != height || display->bits_per_pixel() != bits) {
        if (!display->Create(width, height, bits)) return;
    }
    display->ApplyScaled(bits == 8 ? ScaleFlip8 : ScaleFlip24, *source, nullptr, nullptr);
    preview_->show_bottom_up(preview_picture(*display));
}

}  // namespace imvela
