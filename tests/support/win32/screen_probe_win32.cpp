#include <windows.h>

#include "support/screen_probe.h"
#include "support/screen_claim.h"

namespace {

HWND as_window(uintptr_t window) { return reinterpret_cast<HWND>(window); }

LRESULT CALLBACK parent_procedure(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, message, wp, lp);
}

const char* parent_class() {
    static const char* name = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = parent_procedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "ImvelaTestParent";
        RegisterClassExA(&wc);
        return "ImvelaTestParent";
    }();
    return name;
}

struct TitleSearch {
    const char* title;
    HWND parent;  // children of this one; null for top-level windows
    int count;
    HWND first;
};

BOOL CALLBACK match_title(HWND w, LPARAM context) {
    auto* s = reinterpret_cast<TitleSearch*>(context);
    if (s->parent && GetParent(w) != s->parent) return TRUE;  // grandchildren
    char text[256] = "";
    GetWindowTextA(w, text, sizeof text);
    if (lstrcmpA(text, s->title) == 0 && s->count++ == 0) s->first = w;
    return TRUE;
}

// A mutex of the session.
HANDLE screen_lock() {
    static const HANDLE mutex = CreateMutexA(nullptr, FALSE, "ImvelaTestScreen");
    return mutex;
}

}  // namespace

bool screen_available() {
    if (GetSystemMetrics(SM_CXSCREEN) <= 0) return false;
    return screen_lock() && claim_screen_for_this_test(
                                [] {
                                    // A mutex left abandoned by a process that ended passes on.
                                    const DWORD r = WaitForSingleObject(screen_lock(), 0);
                                    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
                                },
                                [] { ReleaseMutex(screen_lock()); });
}
int32_t screen_width() { return GetSystemMetrics(SM_CXSCREEN); }
int32_t screen_height() { return GetSystemMetrics(SM_CYSCREEN); }

bool window_exists(uintptr_t window) { return window && IsWindow(as_window(window)); }

bool describe_window(uintptr_t window, WindowFacts* facts) {
    HWND w = as_window(window);
    if (!window_exists(window)) return false;
    *facts = WindowFacts{};
    char text[256] = "";
    GetWindowTextA(w, text, sizeof text);
    facts->title = text;
    GetClassNameA(w, text, sizeof text);
    facts->class_name = text;
    RECT outer, client;
    GetWindowRect(w, &outer);
    GetClientRect(w, &client);
    facts->outer_x = outer.left;
    facts->outer_y = outer.top;
    facts->outer_width = outer.right - outer.left;
    facts->outer_height = outer.bottom - outer.top;
    facts->client_width = client.right;
    facts->client_height = client.bottom;
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    HWND parent = GetAncestor(w, GA_PARENT);
    if (parent == GetDesktopWindow()) parent = nullptr;
    if (parent) ScreenToClient(parent, &origin);
    facts->client_x = origin.x;
    facts->client_y = origin.y;
    facts->parent = reinterpret_cast<uintptr_t>(parent);
    facts->styled = true;
    facts->style = static_cast<uint32_t>(GetWindowLongA(w, GWL_STYLE));
    facts->identifier = GetDlgCtrlID(w);
    facts->visible = IsWindowVisible(w) != 0;
    return true;
}

bool take_window_shot(uintptr_t window, WindowShot* shot) {
    WindowFacts facts;
    if (!describe_window(window, &facts) || facts.client_width <= 0 || facts.client_height <= 0) return false;
    const int32_t w = facts.client_width, h = facts.client_height;
    // Another process's window is read from the screen: its own device context is not ours to read.
    DWORD owner = 0;
    GetWindowThreadProcessId(as_window(window), &owner);
    const HWND source = owner == GetCurrentProcessId() ? as_window(window) : nullptr;
    POINT origin{0, 0};
    if (!source) ClientToScreen(as_window(window), &origin);
    HDC screen = GetDC(source);
    if (!screen) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down: row 0 is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    bool ok = section && memory && bits;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, section);
        ok = BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        shot->width = w;
        shot->height = h;
        shot->pixels.resize(static_cast<size_t>(w) * h);
        const auto* p = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < shot->pixels.size(); ++i) shot->pixels[i] = p[i] & 0xFFFFFF;
    }
    if (memory) DeleteDC(memory);
    if (section) DeleteObject(section);
    ReleaseDC(source, screen);
    return ok;
}

bool resize_window_client(uintptr_t window, int32_t width, int32_t height) {
    HWND w = as_window(window);
    if (!window_exists(window)) return false;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE)));
    return SetWindowPos(w, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

bool close_window_as_user(uintptr_t window) {
    if (!window_exists(window)) return true;
    SendMessageA(as_window(window), WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return !window_exists(window);
}

bool lose_window_contents(uintptr_t window) {
    if (!window_exists(window)) return false;
    ShowWindow(as_window(window), SW_HIDE);
    ShowWindow(as_window(window), SW_SHOW);
    return UpdateWindow(as_window(window)) != 0;
}

int count_windows_titled(const char* title) {
    TitleSearch s{title, nullptr, 0, nullptr};
    EnumWindows(match_title, reinterpret_cast<LPARAM>(&s));
    return s.count;
}

uintptr_t find_window_titled(const char* title) {
    TitleSearch s{title, nullptr, 0, nullptr};
    EnumWindows(match_title, reinterpret_cast<LPARAM>(&s));
    return reinterpret_cast<uintptr_t>(s.first);
}

uintptr_t find_child_titled(uintptr_t parent, const char* title) {
    if (!window_exists(parent)) return 0;
    TitleSearch s{title, as_window(parent), 0, nullptr};
    EnumChildWindows(as_window(parent), match_title, reinterpret_cast<LPARAM>(&s));
    return reinterpret_cast<uintptr_t>(s.first);
}

bool window_class_registered(const char* name) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExA(GetModuleHandleA(nullptr), name, &wc) != 0;
}

uintptr_t create_parent_window(int32_t width, int32_t height) {
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND w = CreateWindowExA(0, parent_class(), "imvela test parent", style, 0, 0, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (w) UpdateWindow(w);
    return reinterpret_cast<uintptr_t>(w);
}

void destroy_parent_window(uintptr_t window) {
    if (window_exists(window)) DestroyWindow(as_window(window));
}

int64_t process_resource_count() {
    // GDI and USER objects where the system counts them, and kernel handles.
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return static_cast<int64_t>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) +
           GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS) + handles;
}
