#pragma once
// PreviewWindow: the window a camera shows its live picture in, a child window inside the
// application's preview parent or a top-level window whose client area has the image's size.
// It is made and destroyed on application threads and painted by the capture worker in
// three steps, so that no window-system call runs under the camera's frame lock: the client
// size is asked first (drawable_size), the picture is composed under the frame lock from the
// image set into memory the window keeps (compose), and it goes to the screen after the
// frame lock is released (present). docs/locks.md has the locks and their order.
#include <cstdint>
#include <memory>
#include <mutex>

#include "ImvelaSdk.h"
#include "platform/preview_surface.h"

namespace imvela {

class ImageSet;

struct PreviewRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class PreviewWindow {
public:
    PreviewWindow() = default;
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Where the next window goes: with a parent a child at (x, y) of width x height; without
    // one a top-level window of the image's size, or none at all when the four are zero.
    void place(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);
    // No window is wanted: no parent and an all-zero rectangle.
    bool windowless() const;
    // Makes the window for an image of this size and sub-sampling mode, replacing one made
    // before; false, with nothing left behind, when none is wanted or it cannot be made.
    bool open(int32_t image_width, int32_t image_height, int32_t sub_sample);
    // Destroys the window; painting then does nothing.
    void close();
    // The window exists, is shown and can be painted.
    bool ready() const;
    // The client size when the window can be painted (a call to the window system).
    bool drawable_size(int32_t& width, int32_t& height) const;
    // Sizes the display buffer to the client area at the depth of colour mode `mode`.
    void size_display(ImageSet& images, int32_t mode) const;
    // The same for a client area of the size drawable_size gave; no window-system call.
    static void size_display(ImageSet& images, int32_t mode, int32_t width, int32_t height);
    // Takes the picture of colour mode `mode` from the image set for a client area of
    // width x height: at its own size when it fits, else scaled through the display buffer.
    // The caller holds the frame lock. Does nothing while present() runs on another thread
    // (that frame is not shown). True when a picture was taken.
    bool compose(ImageSet& images, int32_t mode, int32_t width, int32_t height);
    // Puts the picture composed last on the screen; called without the frame lock.
    void present();
    // The three steps in a row, for a caller that owns the image set alone.
    void paint(ImageSet& images, int32_t mode);

    // For tests and diagnostics: the native window (0 when there is none) and the name of the
    // window class it is registered under ("" when there is none).
    uintptr_t native_window() const;
    void class_name(char (&name)[256]) const;

private:
    // The preview lock: guards every member below (see docs/locks.md).
    mutable std::mutex lock_;
    std::unique_ptr<platform::PreviewSurface> surface_;
    char class_name_[256] = "";
    HWND parent_ = nullptr;
    PreviewRect rect_;  // x, y, width, height
};

}  // namespace imvela
