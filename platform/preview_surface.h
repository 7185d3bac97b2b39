#pragma once
// The window a camera shows its live picture in, with what it takes to draw into it: on
// Windows a window of a class of its own and its device context, on Linux an X11 window on a
// display connection of its own whose events the library serves.
#include <cstdint>
#include <memory>

namespace imvela::platform {

// Where the window goes. With a parent (an HWND on Windows, an X11 window id on Linux) it is
// a child window at (x, y) of that size; without one a top-level window whose client area
// has that size, centred on the screen.
struct PreviewPlacement {
    void* parent = nullptr;
    int32_t x = 0, y = 0, width = 0, height = 0;
    const char* class_name = "";  // the window class the window is registered under
};

// Pixel rows to show: 8-bit gray or 24-bit blue, green, red pixels.
struct PreviewPicture {
    const void* bitmap_info = nullptr;  // BITMAPINFOHEADER and 256 RGBQUADs of the buffer
    const uint8_t* bits = nullptr;
    void* memory_dc = nullptr;  // the buffer's memory device context, if it has one
    int32_t width = 0, height = 0, stride = 0, bits_per_pixel = 0;
};

class PreviewSurface {
public:
    virtual ~PreviewSurface() = default;

    // The client size when the window can be painted: it exists, is shown, its client area
    // is not empty and it has a device context. False once the user has closed the window.
    virtual bool drawable_size(int32_t& width, int32_t& height) = 0;
    // Takes the picture to show at the top left of the client area at its own size, memory
    // row 0 at the top. The picture's memory is valid only during the call (the caller holds
    // the camera's frame lock): X11 copies it into a paint buffer of its own, made again only
    // when the size changes; Windows copies it onto the window's device context at once.
    virtual void show_top_down(const PreviewPicture& picture) = 0;
    // The same for a picture stored bottom row first (a display buffer scaled with a flip).
    virtual void show_bottom_up(const PreviewPicture& picture) = 0;
    // Puts the picture taken last on the screen (X11: sends it and waits for the server);
    // called without the frame lock. Windows has done so already.
    virtual void present() {}
    // The native window (HWND, or the X11 window id), for tests and diagnostics.
    virtual uintptr_t native_window() const = 0;
};

// Registers the class, creates and shows the window and takes what painting needs. Null
// when any step fails (no display, invalid parent, ...); then nothing is left behind.
// Destroying the surface destroys the window, releases the context and unregisters the class.
std::unique_ptr<PreviewSurface> open_preview_surface(const PreviewPlacement& placement);

}  // namespace imvela::platform
