// The preview window on X11: a window on a display connection of its own, so that the
// library never shares Xlib state with the application. A thread per window serves its
// events (Expose repaints the last picture, WM_DELETE_WINDOW closes the window); painting
// happens on the camera's worker thread. The connection lock serialises every use of the
// connection; the picture lock guards the paint buffer the worker converts each frame into
// under the camera's frame lock, and is never held across a call to the server, so a slow or
// stopped server stalls only the worker's present(), never the frame lock (docs/locks.md).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "platform/posix/x11_error_trap.h"
#include "platform/preview_surface.h"

namespace imvela::platform {
namespace {

constexpr const char* kChildTitle = "ActiveMovie Window";
constexpr const char* kTopLevelTitle = "Active Window";
// Events can reach Xlib's queue through another thread's round trip without the connection
// becoming readable again; the event thread looks at the queue at least this often.
constexpr int kEventPollMs = 200;

// 8-bit channel value -> its bits in a pixel of the window's visual.
void fill_channel_table(unsigned long mask, uint32_t table[256]) {
    int shift = 0, bits = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t scaled = bits >= 8 ? v << (bits - 8) : v >> (8 - bits);
        table[v] = bits ? scaled << shift : 0;
    }
}

int host_byte_order() {
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first ? LSBFirst : MSBFirst;
}

class X11PreviewSurface final : public PreviewSurface {
public:
    ~X11PreviewSurface() override { close(); }

    bool open(const PreviewPlacement& placement);

    bool drawable_size(int32_t& width, int32_t& height) override {
        std::lock_guard<std::mutex> guard(lock_);
        serve_pending();
        if (closed_) return false;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window_, &attributes) || take_x11_errors(display_)) return false;
        if (attributes.map_state != IsViewable) return false;
        width = attributes.width;
        height = attributes.height;
        return width > 0 && height > 0;
    }

    void show_top_down(const PreviewPicture& picture) override { show(picture, false); }
    void show_bottom_up(const PreviewPicture& picture) override { show(picture, true); }
    void present() override;
    uintptr_t native_window() const override { return window_; }

private:
    void close();
    void show(const PreviewPicture& picture, bool bottomUp);
    bool fit_image(XImage*& image, int32_t width, int32_t height);
    void convert(XImage* image, const PreviewPicture& picture, bool bottomUp);
    void put_image();
    void serve_pending();
    void serve_events();

    std::mutex lock_;          // the connection lock: every use of display_ and the window
    std::mutex picture_lock_;  // guards paint_ and painted_; taken after lock_, if at all
    Display* display_ = nullptr;
    bool trapped_ = false;
    Window window_ = 0;
    GC gc_ = nullptr;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Atom delete_atom_ = 0;
    XImage* image_ = nullptr;  // the last picture shown, for repainting
    XImage* paint_ = nullptr;  // the paint buffer: the next picture, converted from the frame
    bool painted_ = false;     // paint_ holds a picture not shown yet
    bool closed_ = false;      // closed by the user, or destroyed with its parent
    uint32_t red_[256], green_[256], blue_[256], gray_[256];
    std::thread events_;
    int wake_[2] = {-1, -1};
};

bool X11PreviewSurface::open(const PreviewPlacement& placement) {
    display_ = XOpenDisplay(nullptr);
    if (!display_) return false;
    trapped_ = trap_x11_errors(display_);
    if (!trapped_) return false;

    const int screen = DefaultScreen(display_);
    const bool child = placement.parent != nullptr;
    const Window parent = child ? static_cast<Window>(reinterpret_cast<uintptr_t>(placement.parent))
                                : RootWindow(display_, screen);
    // X has no empty windows: an empty child stays unmapped and is never painted.
    const bool empty = placement.width <= 0 || placement.height <= 0;
    const unsigned width = static_cast<unsigned>(std::max(placement.width, 1));
    const unsigned height = static_cast<unsigned>(std::max(placement.height, 1));
    int x = placement.x, y = placement.y;
    if (!child) {
        x = std::max(0, (DisplayWidth(display_, screen) - static_cast<int>(width)) / 2);
        y = std::max(0, (DisplayHeight(display_, screen) - static_cast<int>(height)) / 2);
    }

    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display_, screen);
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    attributes.bit_gravity = NorthWestGravity;
    window_ = XCreateWindow(display_, parent, x, y, width, height, 0, CopyFromParent, InputOutput,
                            static_cast<Visual*>(CopyFromParent), CWBackPixel | CWEventMask | CWBitGravity,
                            &attributes);
    XWindowAttributes created;
    if (!window_ || !XGetWindowAttributes(display_, window_, &created) || take_x11_errors(display_)) return false;
    visual_ = created.visual;
    depth_ = created.depth;
    if (!visual_ || visual_->c_class != TrueColor) return false;
    fill_channel_table(visual_->red_mask, red_);
    fill_channel_table(visual_->green_mask, green_);
    fill_channel_table(visual_->blue_mask, blue_);
    for (int v = 0; v < 256; ++v) gray_[v] = red_[v] | green_[v] | blue_[v];

    const char* title = child ? kChildTitle : kTopLevelTitle;
    XStoreName(display_, window_, title);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
    char resourceName[] = "imvela";
    XClassHint classHint{resourceName, const_cast<char*>(placement.class_name)};
    XSetClassHint(display_, window_, &classHint);
    if (!child) {
        XSizeHints hints{};
        hints.flags = USPosition | USSize | PPosition | PSize;
        hints.x = x;
        hints.y = y;
        hints.width = static_cast<int>(width);
        hints.height = static_cast<int>(height);
        XSetWMNormalHints(display_, window_, &hints);
        delete_atom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &delete_atom_, 1);
    }
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    if (!empty) XMapWindow(display_, window_);
    XSync(display_, False);
    if (!gc_ || take_x11_errors(display_)) return false;

    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    try {
        events_ = std::thread(&X11PreviewSurface::serve_events, this);
    } catch (...) {
        return false;
    }
    return true;
}

void X11PreviewSurface::close() {
    if (events_.joinable()) {
        const char stop = 1;
        while (write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
        }
        events_.join();
    }
    for (int& fd : wake_)
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    if (!display_) return;
    if (image_) XDestroyImage(image_);
    if (paint_) XDestroyImage(paint_);
    if (gc_) XFreeGC(display_, gc_);
    if (window_ && !closed_) XDestroyWindow(display_, window_);
    XSync(display_, False);
    XCloseDisplay(display_);
    // Only now: closing may still report errors about this connection.
    if (trapped_) untrap_x11_errors(display_);
    display_ = nullptr;
}

void X11PreviewSurface::show(const PreviewPicture& picture, bool bottomUp) {
    if (!picture.bits || picture.width <= 0 || picture.height <= 0) return;
    // Memory work only: an image is made client-side, no request goes to the server.
    std::lock_guard<std::mutex> guard(picture_lock_);
    if (!fit_image(paint_, picture.width, picture.height)) return;
    convert(paint_, picture, bottomUp);
    painted_ = true;
}

void X11PreviewSurface::present() {
    std::lock_guard<std::mutex> guard(lock_);
    {
        // The new picture becomes the shown one (Expose repaints it); the old one is the next
        // paint buffer. Pointers change hands, no pixels are copied.
        std::lock_guard<std::mutex> picture(picture_lock_);
        if (!painted_) return;
        std::swap(image_, paint_);
        painted_ = false;
    }
    if (closed_) return;
    put_image();
    // The picture is on the screen when the worker goes on; errors (a window destroyed by
    // someone else) are counted and dropped.
    XSync(display_, False);
    take_x11_errors(display_);
}

bool X11PreviewSurface::fit_image(XImage*& image, int32_t width, int32_t height) {
    if (image && image->width == width && image->height == height) return true;
    if (image) XDestroyImage(image);
    image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    // Pixels are written in the host's byte order; Xlib swaps them for the server if needed.
    image->byte_order = host_byte_order();
    XInitImage(image);
    image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        image = nullptr;
        return false;
    }
    return true;
}

void X11PreviewSurface::convert(XImage* image, const PreviewPicture& picture, bool bottomUp) {
    const int32_t w = picture.width, h = picture.height;
    const bool gray = picture.bits_per_pixel == 8;
    for (int32_t row = 0; row < h; ++row) {
        const uint8_t* in = picture.bits + static_cast<ptrdiff_t>(bottomUp ? h - 1 - row : row) * picture.stride;
        char* out = image->data + static_cast<ptrdiff_t>(row) * image->bytes_per_line;
        if (image->bits_per_pixel == 32) {
            uint32_t* pixels = reinterpret_cast<uint32_t*>(out);
            if (gray)
                for (int32_t x = 0; x < w; ++x) pixels[x] = gray_[in[x]];
            else
                for (int32_t x = 0; x < w; ++x, in += 3) pixels[x] = blue_[in[0]] | green_[in[1]] | red_[in[2]];
        } else {
            for (int32_t x = 0; x < w; ++x) {
                const unsigned long pixel =
                    gray ? gray_[in[x]] : (blue_[in[3 * x]] | green_[in[3 * x + 1]] | red_[in[3 * x + 2]]);
                XPutPixel(image, x, row, pixel);
            }
        }
    }
}

void X11PreviewSurface::put_image() {
    XPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, static_cast<unsigned>(image_->width),
              static_cast<unsigned>(image_->height));
}

void X11PreviewSurface::serve_pending() {
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
            case Expose:
                if (event.xexpose.count == 0 && image_ && !closed_) put_image();
                break;
            case ClientMessage:
                // The user closed the window: it goes now, later pictures are dropped.
                if (delete_atom_ && static_cast<Atom>(event.xclient.data.l[0]) == delete_atom_ && !closed_) {
                    XDestroyWindow(display_, window_);
                    closed_ = true;
                }
                break;
            case DestroyNotify:
                if (event.xdestroywindow.window == window_) closed_ = true;
                break;
            default:
                break;
        }
    }
    XFlush(display_);
    take_x11_errors(display_);
}

void X11PreviewSurface::serve_events() {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            serve_pending();
        }
        fds[0].revents = fds[1].revents = 0;
        if (poll(fds, 2, kEventPollMs) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        if (fds[0].revents & (POLLERR | POLLHUP)) break;  // the server went away
    }
}

}  // namespace

std::unique_ptr<PreviewSurface> open_preview_surface(const PreviewPlacement& placement) {
    std::unique_ptr<X11PreviewSurface> surface(new (std::nothrow) X11PreviewSurface);
    if (!surface || !surface->open(placement)) return nullptr;
    return surface;
}

}  // namespace imvela::platform
