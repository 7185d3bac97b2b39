// Every processed frame is painted into the preview window, directly when the client area has
// the picture's size, else scaled through the display buffer.
#include "preview/preview_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/image_set.h"
#include "preview/preview_picture.h"
#include "imaging/color_mode.h"
#include "imaging/kernel_selection.h"
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

// Where the picture of each colour mode is, and where it is shown from: the 16-bit and the
// wider colour pictures are reduced into the 8-bit raw and the 24-bit buffer first.
struct PictureBuffers {
    BufferIndex picture;
    BufferIndex shown;
};
constexpr PictureBuffers kPictureOfMode[kColorModeCount] = {{kRaw8, kRaw8},       {kRaw16, kRaw8},
                                                            {kColor24, kColor24}, {kColor32, kColor24},
                                                            {kColor48, kColor24}, {kColor64, kColor24}};

// The display buffer holds 8-bit gray for the monochrome modes, blue-green-red otherwise.
int32_t display_bits(int32_t colorMode) { return colorMode <= 1 ? 8 : 24; }

// Converts `from` into `to` with a kernel when both hold pixels; `to` is then the picture.
CImageBuffer* converted(CImageBuffer& to, PixelKernel kernel, const CImageBuffer& from) {
    if (!to.has_pixels() || !from.has_pixels()) return nullptr;
    to.Apply(kernel, from, nullptr, 0, 0, nullptr);
    return &to;
}

}  // namespace

void PreviewWindow::place(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> guard(lock_);
    parent_ = parent;
    rect_ = PreviewRect{x, y, width, height};
}

bool PreviewWindow::windowless() const {
    std::lock_guard<std::mutex> guard(lock_);
    return parent_ == nullptr && rect_.left == 0 && rect_.top == 0 && rect_.right == 0 && rect_.bottom == 0;
}

bool PreviewWindow::open(int32_t image_width, int32_t image_height, int32_t sub_sample) {
    platform::PreviewPlacement placement;
    {
        std::lock_guard<std::mutex> guard(lock_);
        placement.parent = parent_;
        if (parent_) {
            placement.x = rect_.left;
            placement.y = rect_.top;
            placement.width = rect_.right;
            placement.height = rect_.bottom;
        } else {
            if (rect_.left == 0 && rect_.top == 0 && rect_.right == 0 && rect_.bottom == 0) return false;
            const int32_t divisor = sub_sample_divisor(sub_sample);
            placement.width = image_width / divisor;
            placement.height = image_height / divisor;
        }
    }
    // A class name of its own for every window: the object's address and a changing number.
    char name[sizeof class_name_];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)),
                  static_cast<unsigned>(platform::tick_count() + static_cast<uint32_t>(std::rand())));
    placement.class_name = name;

    std::unique_ptr<platform::PreviewSurface> surface = platform::open_preview_surface(placement);
    if (!surface) return false;
    // A window made before (a second preview start) goes, outside the lock; the worker may
    // be painting it until the swap.
    std::lock_guard<std::mutex> guard(lock_);
    surface_.swap(surface);
    std::memcpy(class_name_, name, sizeof class_name_);
    return true;
}

void PreviewWindow::close() {
    std::unique_ptr<platform::PreviewSurface> old;
    {
        std::lock_guard<std::mutex> guard(lock_);
        old.swap(surface_);
        class_name_[0] = '\0';
    }
    // Destroyed outside the lock: no worker can reach it any more.
}

bool PreviewWindow::ready() const {
    int32_t width = 0, height = 0;
    return drawable_size(width, height);
}

bool PreviewWindow::drawable_size(int32_t& width, int32_t& height) const {
    std::lock_guard<std::mutex> guard(lock_);
    return surface_ && surface_->drawable_size(width, height);
}

void PreviewWindow::size_display(ImageSet& images, int32_t mode) const {
    int32_t width = 0, height = 0;
    if (drawable_size(width, height)) size_display(images, mode, width, height);
}

void PreviewWindow::size_display(ImageSet& images, int32_t mode, int32_t width, int32_t height) {
    images[kDisplay].Create(width, height, display_bits(mode));
}

bool PreviewWindow::compose(ImageSet& images, int32_t mode, int32_t width, int32_t height) {
    // Never waits: the lock is held across a present() that a stalled window system may keep.
    std::unique_lock<std::mutex> guard(lock_, std::try_to_lock);
    if (!guard || !surface_ || mode < 0 || mode >= kColorModeCount || width <= 0 || height <= 0) return false;
    const PictureBuffers& buffers = kPictureOfMode[mode];
    const PixelKernel reduce = select_kernel(KernelOperation::PreviewToDisplayable, mode);
    CImageBuffer* source =
        reduce ? converted(images[buffers.shown], reduce, images[buffers.picture]) : &images[buffers.shown];
    if (!source || !source->has_pixels()) return false;

    // The window shows the picture at its own size: one copy, no intermediate buffer.
    if (width == source->width() && height == source->height() && mode != 1) {
        surface_->show_top_down(preview_picture(*source));
        return true;
    }
    // Otherwise scale it into the display buffer, re-made only when the client size changes.
    CImageBuffer& display = images[kDisplay];
    const int32_t bits = display_bits(mode);
    if (display.width() != width || display.height() != height || display.bits_per_pixel() != bits) {
        if (!display.Create(width, height, bits)) return false;
    }
    display.ApplyScaled(select_preview_scale_kernel(mode), *source, nullptr, nullptr);
    surface_->show_bottom_up(preview_picture(display));
    return true;
}

void PreviewWindow::present() {
    std::lock_guard<std::mutex> guard(lock_);
    if (surface_) surface_->present();
}

void PreviewWindow::paint(ImageSet& images, int32_t mode) {
    int32_t width = 0, height = 0;
    if (drawable_size(width, height) && compose(images, mode, width, height)) present();
}

uintptr_t PreviewWindow::native_window() const {
    std::lock_guard<std::mutex> guard(lock_);
    return surface_ ? surface_->native_window() : 0;
}

void PreviewWindow::class_name(char (&name)[256]) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::memcpy(name, class_name_, sizeof name);
}

}  // namespace imvela
