// The preview window on Windows: a window of a freshly registered class with the default
// window procedure, served by the creating thread's message loop, and its device context,
// into which the camera's worker thread paints.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/preview_surface.h"

namespace imvela::platform {
namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr DWORD kTopLevelStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static_assert(kChildStyle == 0x52000000 && kTopLevelStyle == 0x16CF0000, "window styles");
constexpr UINT_PTR kChildIdentifier = 6540;

struct BitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

class GdiPreviewSurface final : public PreviewSurface {
public:
    ~GdiPreviewSurface() override { close(); }

    bool open(const PreviewPlacement& placement);

    bool drawable_size(int32_t& width, int32_t& height) override {
        RECT client;
        if (!dc_ || !IsWindow(window_) || !IsWindowVisible(window_) || !GetClientRect(window_, &client)) return false;
        width = client.right - client.left;
        height = client.bottom - client.top;
        return width > 0 && height > 0;
    }

    // One copy from the picture's own pixels, read through a top-down header so that memory
    // row 0 lands on the window's top row. (A mirrored stretch copy from the bottom-up section
    // is off by one row in some GDI implementations: the top row is lost, a black row appears.)
    void show_top_down(const PreviewPicture& picture) override {
        if (!picture.bits || !picture.bitmap_info) return;
        BitmapInfo256 info;
        std::memcpy(&info, picture.bitmap_info, sizeof info);
        info.header.biHeight = -picture.height;
        StretchDIBits(dc_, 0, 0, picture.width, picture.height, 0, 0, picture.width, picture.height, picture.bits,
                      reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    }

    void show_bottom_up(const PreviewPicture& picture) override {
        if (picture.memory_dc) {
            BitBlt(dc_, 0, 0, picture.width, picture.height, static_cast<HDC>(picture.memory_dc), 0, 0, SRCCOPY);
        } else if (picture.bits && picture.bitmap_info) {
            StretchDIBits(dc_, 0, 0, picture.width, picture.height, 0, 0, picture.width, picture.height, picture.bits,
                          static_cast<const BITMAPINFO*>(picture.bitmap_info), DIB_RGB_COLORS, SRCCOPY);
        }
    }

    uintptr_t native_window() const override { return reinterpret_cast<uintptr_t>(window_); }

private:
    void close();

    HINSTANCE instance_ = nullptr;
    char class_name_[256] = "";
    bool registered_ = false;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

bool GdiPreviewSurface::open(const PreviewPlacement& placement) {
    instance_ = GetModuleHandleA(nullptr);
    lstrcpynA(class_name_, placement.class_name, sizeof class_name_);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = class_name_;
    registered_ = RegisterClassExA(&wc) != 0;
    if (!registered_) return false;

    if (placement.parent) {
        // Without the parent notification: creating a child of another thread's window would
        // otherwise send that thread WM_PARENTNOTIFY and wait for it, under the capture-control
        // lock that thread may be waiting for (docs/locks.md).
        window_ = CreateWindowExA(WS_EX_NOPARENTNOTIFY, class_name_, "ActiveMovie Window", kChildStyle, placement.x, placement.y,
                                  placement.width, placement.height, static_cast<HWND>(placement.parent),
                                  reinterpret_cast<HMENU>(kChildIdentifier), instance_, nullptr);
    } else {
        RECT frame{0, 0, placement.width, placement.height};
        if (!AdjustWindowRectEx(&frame, kTopLevelStyle, FALSE, 0)) return false;
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
        const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
        window_ = CreateWindowExA(0, class_name_, "Active Window", kTopLevelStyle, x, y, width, height, nullptr,
                                  nullptr, instance_, nullptr);
    }
    if (!window_) return false;
    SetFocus(window_);
    ShowWindow(window_, SW_SHOW);
    if (!UpdateWindow(window_)) return false;
    dc_ = GetDC(window_);
    return dc_ != nullptr;
}

void GdiPreviewSurface::close() {
    if (dc_) ReleaseDC(window_, dc_);
    dc_ = nullptr;
    if (window_ && IsWindow(window_)) {
        // Only the creating thread may destroy a window; from any other thread ask it to close,
        // which its message loop does, instead of waiting for a thread that may be waiting for us.
        if (GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId())
            DestroyWindow(window_);
        else
            PostMessageA(window_, WM_CLOSE, 0, 0);
    }
    window_ = nullptr;
    if (registered_) UnregisterClassA(class_name_, instance_);
    registered_ = false;
}

}  // namespace

std::unique_ptr<PreviewSurface> open_preview_surface(const PreviewPlacement& placement) {
    std::unique_ptr<GdiPreviewSurface> surface(new (std::nothrow) GdiPreviewSurface);
    if (!surface || !surface->open(placement)) return nullptr;
    return surface;
}

}  // namespace imvela::platform
