#pragma once
// PreviewWindow: the window a camera shows its live picture in, a child window inside the
// application's preview parent or a top-level window whose client area has the image's size.
// It is made and destroyed on application threads and painted by the capture worker.
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
    // Sizes the display buffer to the client area at the depth of colour mode `mode`.
    void size_display(ImageSet& images, int32_t mode) const;
    // Shows the picture of colour mode `mode` from the image set: directly when the client
    // area has the picture's size, else scaled through the display buffer. The caller keeps
    // the image set from changing meanwhile.
    void paint(ImageSet& images, int32_t mode);

    // For tests and diagnostics: the native window (0 when there is none) and the name of the
    // window class it is registered under ("" when there is none).
    uintptr_t native_window() const;
    void class_name(char (&name)[256]) const;

private:
    // Guards every member below. Taken after the camera's frame lock; nothing is taken while
    // it is held.
    mutable std::mutex lock_;
    std::unique_ptr<platform::PreviewSurface> surface_;
    char class_name_[256] = "";
    HWND parent_ = nullptr;
    PreviewRect rect_;  // x, y, width, height
};

}  // namespace imvela
