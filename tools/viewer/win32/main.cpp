// imvela-viewer.exe: the library's preview window in a picture area of the viewer's window,
// a row of controls (colour mode, the three property dialogs, save still, record, trigger)
// with keyboard accelerators for the same commands, the live histogram beside the picture,
// the mouse for the samples under it, zoom, pan and regions, and a status bar with the mode,
// frames per second, errors, the samples and the last command's outcome.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "viewer_session.h"

namespace {

constexpr char kWindowClass[] = "ImvelaViewer";
constexpr int kColorModeBox = 100;
constexpr int kStatusBar = 99;
constexpr UINT_PTR kStatusTimer = 1;
constexpr int kRowHeight = 32;
constexpr int kButtonWidth = 84;
constexpr int kModeBoxWidth = 130;
constexpr int kPanelWidth = 280;
constexpr int kHistogramHeight = 110;
constexpr char kAreaClass[] = "ImvelaViewerPicture";
constexpr char kOriginalProcedure[] = "ImvelaViewerOriginal";

struct Button {
    ViewerCommand command;
    const char* text;
};
constexpr Button kButtons[] = {
    {kOpenCameraDialog, "&Camera..."}, {kOpenImageDialog, "&Image..."}, {kOpenAnalogDialog, "&Analog..."},
    {kSaveStill, "&Save still"},       {kRecord, "&Record"},            {kToggleTrigger, "&Trigger"},
    {kFireTrigger, "&Fire"},
};

struct Viewer {
    std::unique_ptr<ViewerSession> session;
    HWND window = nullptr;
    HWND mode_box = nullptr;
    HWND status = nullptr;
    HWND area = nullptr;
    HWND picture = nullptr;
    HWND edges[4] = {};
    int area_width = 0, area_height = 0;
    uint32_t geometry_seen = 0;
    std::string shown;
};
Viewer viewer;

// Without a choice in the environment, camera 0 of the emulator.
bool choose_emulator() {
    if (GetEnvironmentVariableA("IMVELA_EMULATOR", nullptr, 0) != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND)
        return false;
    return SetEnvironmentVariableA("IMVELA_EMULATOR", "0") != 0;
}

// The status bar: each part as wide as its text, the last one (the outcome) the rest. An
// outcome that does not fit there gets the whole bar, so no error text is cut.
void show_status() {
    if (!viewer.session || !viewer.status) return;
    const std::string parts[5] = {viewer.session->mode_text(), viewer.session->rate_text(),
                                  viewer.session->errors_text(), viewer.session->readout(), viewer.session->message()};
    std::string all;
    for (const std::string& p : parts) all += p + "\n";
    if (all == viewer.shown) return;
    viewer.shown = all;
    RECT bar{};
    GetClientRect(viewer.status, &bar);
    HDC dc = GetDC(viewer.status);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(viewer.status, WM_GETFONT, 0, 0)));
    auto width_of = [&](const std::string& t) {
        SIZE size{};
        GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &size);
        return static_cast<int>(size.cx) + 16;
    };
    int edges[5];
    int x = 0;
    for (int i = 0; i < 4; ++i) edges[i] = x += parts[i].empty() ? 0 : width_of(parts[i]);
    edges[4] = -1;
    const bool fits = x + width_of(parts[4]) <= bar.right;
    const int message_width = width_of(parts[4]);
    SelectObject(dc, old);
    ReleaseDC(viewer.status, dc);
    if (!fits && message_width <= bar.right) {
        SendMessageA(viewer.status, SB_SIMPLE, TRUE, 0);
        SendMessageA(viewer.status, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(parts[4].c_str()));
        return;
    }
    SendMessageA(viewer.status, SB_SIMPLE, FALSE, 0);
    SendMessageA(viewer.status, SB_SETPARTS, 5, reinterpret_cast<LPARAM>(edges));
    for (int i = 0; i < 5; ++i) SendMessageA(viewer.status, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(parts[i].c_str()));
    // Longer than the window: the whole text in the title as well.
    SetWindowTextA(viewer.window, message_width > bar.right ? ("Imvela viewer - " + parts[4]).c_str() : "Imvela viewer");
}

// The histogram beside the picture.
void paint_panel(HDC dc) {
    RECT panel{viewer.area_width, kRowHeight, viewer.area_width + kPanelWidth, kRowHeight + viewer.area_height};
    FillRect(dc, &panel, reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    if (!viewer.session) return;
    const Histogram& h = viewer.session->histogram();
    const int left = panel.left + (kPanelWidth - Histogram::kBins) / 2, top = panel.top + 24;
    const int bottom = top + kHistogramHeight;
    RECT frame{left - 1, top - 1, left + Histogram::kBins + 1, bottom + 1};
    FillRect(dc, &frame, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const std::string title = "Histogram (0.." + std::to_string(h.sample_max) + ")";
    TextOutA(dc, left, panel.top + 6, title.c_str(), static_cast<int>(title.size()));
    const COLORREF colors[3] = {h.channels == 1 ? RGB(255, 255, 255) : RGB(255, 60, 60), RGB(60, 255, 60), RGB(80, 140, 255)};
    for (int c = 0; c < h.channels && h.tallest; ++c) {
        POINT points[Histogram::kBins];
        for (int i = 0; i < Histogram::kBins; ++i)
            points[i] = {left + i, bottom - static_cast<int>(uint64_t{h.counts[c][i]} * kHistogramHeight / h.tallest)};
        HPEN pen = CreatePen(PS_SOLID, 1, colors[c]);
        HGDIOBJ old = SelectObject(dc, pen);
        Polyline(dc, points, Histogram::kBins);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    const SensorWindow& w = viewer.session->capture_window();
    char line[128];
    std::snprintf(line, sizeof line, "window %d x %d from (%d, %d)", w.width, w.height, w.h_start, w.v_start);
    TextOutA(dc, left, bottom + 10, line, static_cast<int>(std::strlen(line)));
    std::snprintf(line, sizeof line, "zoom %dx (wheel, z, x)", viewer.session->geometry().zoom());
    TextOutA(dc, left, bottom + 28, line, static_cast<int>(std::strlen(line)));
    const std::string readout = viewer.session->readout();
    if (!readout.empty()) TextOutA(dc, left, bottom + 46, readout.c_str(), static_cast<int>(readout.size()));
}

void repaint_panel() {
    RECT panel{viewer.area_width, kRowHeight, viewer.area_width + kPanelWidth, kRowHeight + viewer.area_height};
    InvalidateRect(viewer.window, &panel, FALSE);
}

// The library's window forwards the mouse to the picture area, in the area's coordinates.
LRESULT CALLBACK picture_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProcedure));
    if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && message != WM_MOUSEWHEEL) && viewer.area) {
        POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        MapWindowPoints(window, viewer.area, &p, 1);
        return SendMessageA(viewer.area, message, wparam, MAKELPARAM(p.x, p.y));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(window, kOriginalProcedure);
        // Its edges went with it.
        if (window == viewer.picture) viewer.picture = nullptr;
    }
    return original ? CallWindowProcA(original, window, message, wparam, lparam) : DefWindowProcA(window, message, wparam, lparam);
}

// The library makes its window anew at each start of capture: the newest is found, takes
// the mouse and follows zoom and pan.
void follow_picture() {
    HWND picture = FindWindowExA(viewer.area, nullptr, nullptr, "ActiveMovie Window");
    if (!picture || !viewer.session) return;
    if (picture != viewer.picture) {
        viewer.picture = picture;
        SetPropA(picture, kOriginalProcedure, reinterpret_cast<HANDLE>(GetWindowLongPtrA(picture, GWLP_WNDPROC)));
        SetWindowLongPtrA(picture, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(picture_procedure));
        for (HWND& edge : viewer.edges)
            edge = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_WHITERECT, 0, 0, 1, 1, picture, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        viewer.geometry_seen = viewer.session->geometry_version() - 1;
    }
    if (viewer.geometry_seen != viewer.session->geometry_version()) {
        viewer.geometry_seen = viewer.session->geometry_version();
        const ViewRect p = viewer.session->geometry().picture();
        MoveWindow(picture, p.x, p.y, p.width, p.height, TRUE);
    }
    // The region being drawn: four edges inside the library's window, which clips its
    // children when it paints.
    ViewRect r;
    const bool drawing = viewer.session->region_outline(&r);
    const ViewRect p = viewer.session->geometry().picture();
    const int x = r.x - p.x, y = r.y - p.y, w = std::max(r.width, 2), h = std::max(r.height, 2);
    const RECT sides[4] = {{x, y, w, 2}, {x, y + h - 2, w, 2}, {x, y, 2, h}, {x + w - 2, y, 2, h}};
    for (int i = 0; i < 4; ++i) {
        if (drawing) MoveWindow(viewer.edges[i], sides[i].left, sides[i].top, sides[i].right, sides[i].bottom, TRUE);
        ShowWindow(viewer.edges[i], drawing ? SW_SHOWNA : SW_HIDE);
    }
}

LRESULT CALLBACK area_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    ViewerSession* session = viewer.session.get();
    const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);
    switch (message) {
        case WM_MOUSEMOVE:
            if (session) session->pointer_moved(x, y);
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            SetCapture(window);
            if (session) session->pressed(x, y, message == WM_LBUTTONDOWN ? ViewerSession::Button::kLeft : ViewerSession::Button::kRight);
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            ReleaseCapture();
            if (session) session->released(x, y);
            break;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
    follow_picture();
    show_status();
    repaint_panel();
    return 0;
}

HWND add_control(HWND parent, const char* klass, const char* text, DWORD style, int x, int width, int height, int id) {
    HWND control = CreateWindowExA(0, klass, text, WS_CHILD | WS_VISIBLE | style, x, 4, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return control;
}

int mode_index(int32_t bits) {
    for (int i = 0; i < kColorModeCount; ++i)
        if (kColorModeBits[i] == bits) return i;
    return 0;
}

// The controls' row; returns its width.
int add_controls(HWND window, int32_t bits) {
    viewer.mode_box = add_control(window, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 4,
                                  kModeBoxWidth, 200, kColorModeBox);
    for (int i = 0; i < kColorModeCount; ++i) {
        SendMessageA(viewer.mode_box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kViewerKeys[i].what));
        if (kColorModeBits[i] == bits) SendMessageA(viewer.mode_box, CB_SETCURSEL, i, 0);
    }
    int x = 8 + kModeBoxWidth;
    for (const Button& b : kButtons) {
        add_control(window, "BUTTON", b.text, BS_PUSHBUTTON | WS_TABSTOP, x, kButtonWidth - 4, kRowHeight - 8, b.command);
        x += kButtonWidth;
    }
    return x;
}

void show_help() {
    std::string text;
    for (const std::string& line : ViewerSession::help_lines(false)) text += line + "\n";
    MessageBoxA(viewer.window, text.c_str(), "Imvela viewer: keys and mouse", MB_OK);
}

void run_command(HWND window, int id) {
    if (id == kQuit) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    if (!viewer.session) return;
    if (id == kToggleHelp) {
        show_help();
        return;
    }
    viewer.session->run(static_cast<ViewerCommand>(id), window);
    SendMessageA(viewer.mode_box, CB_SETCURSEL, mode_index(viewer.session->color_bits()), 0);
    follow_picture();
    show_status();
    repaint_panel();
}

// The colour list applies its line when the choice is over (list closed, Enter, focus gone),
// not at every arrow key that steps through it.
void apply_mode_choice(HWND window) {
    const LRESULT chosen = SendMessageA(viewer.mode_box, CB_GETCURSEL, 0, 0);
    if (chosen >= 0 && chosen < kColorModeCount && viewer.session &&
        kColorModeBits[chosen] != viewer.session->color_bits())
        run_command(window, kShowGray8 + static_cast<int>(chosen));
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CAMERA_FRAME:
        case WM_CAMERA_ERROR:
            if (viewer.session) viewer.session->on_message(message, wparam, lparam);
            return 0;
        case WM_TIMER:
            if (viewer.session) {
                viewer.session->tick();
                viewer.session->take_picture();
                follow_picture();
                show_status();
                repaint_panel();
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            paint_panel(dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_MOUSEWHEEL:
            if (viewer.session && viewer.area) {
                POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
                ScreenToClient(viewer.area, &p);
                viewer.session->wheel(p.x, p.y, GET_WHEEL_DELTA_WPARAM(wparam) > 0);
                follow_picture();
                show_status();
                repaint_panel();
            }
            return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) == kColorModeBox) {
                const int code = HIWORD(wparam);
                const bool dropped = SendMessageA(viewer.mode_box, CB_GETDROPPEDSTATE, 0, 0) != 0;
                if (code == CBN_CLOSEUP || code == CBN_KILLFOCUS || (code == CBN_SELENDOK && !dropped))
                    apply_mode_choice(window);
                return 0;
            }
            run_command(window, LOWORD(wparam));
            return 0;
        case WM_CLOSE:
            // The library's window inside this one goes with the camera.
            KillTimer(window, kStatusTimer);
            viewer.session.reset();
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

// The largest of 1:1, 1:2, 1:4 ... that leaves a margin on the screen for the frame, the
// controls and the status bar.
void fit_on_screen(int32_t* width, int32_t* height) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int room_x = work.right - work.left - 32 - kPanelWidth, room_y = work.bottom - work.top - 120;
    while (*width > 64 && (*width > room_x || *height > room_y)) {
        *width /= 2;
        *height /= 2;
    }
}

HACCEL make_accelerators() {
    ACCEL table[sizeof kViewerKeys / sizeof kViewerKeys[0] + 5];
    int n = 0;
    table[n++] = ACCEL{FVIRTKEY, VK_ESCAPE, kQuit};
    for (const ViewerKey& k : kViewerKeys) {
        const bool letter = k.key >= 'a' && k.key <= 'z', digit = k.key >= '0' && k.key <= '9';
        const char key = letter ? static_cast<char>(k.key - 'a' + 'A') : k.key;
        table[n++] = ACCEL{static_cast<BYTE>(letter || digit ? FVIRTKEY : 0), static_cast<WORD>(key), static_cast<WORD>(k.command)};
    }
    // Panning; the plain arrows stay with the controls (the property dialogs adjust values).
    const WORD arrows[4][2] = {{VK_LEFT, kPanLeft}, {VK_RIGHT, kPanRight}, {VK_UP, kPanUp}, {VK_DOWN, kPanDown}};
    for (const auto& a : arrows) table[n++] = ACCEL{FVIRTKEY | FSHIFT, a[0], a[1]};
    return CreateAcceleratorTableA(table, n);
}

int fail(const std::string& text) {
    MessageBoxA(viewer.window, text.c_str(), "Imvela viewer", MB_OK | MB_ICONERROR);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    ViewerOptions options;
    std::string error;
    if (!options.parse(argc, argv, &error)) return fail(error + "\n\n" + viewer_usage());
    if (options.help) {
        std::string text = viewer_usage();
        text += "\nKeys and mouse:\n";
        for (const std::string& line : ViewerSession::help_lines(false)) text += "  " + line + "\n";
        MessageBoxA(nullptr, text.c_str(), "Imvela viewer", MB_OK);
        return 0;
    }
    // The property dialogs use tab, trackbar and up-down controls; the status bar is ours.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);

    WNDCLASSEXA klass{};
    klass.cbSize = sizeof klass;
    klass.lpfnWndProc = window_procedure;
    klass.hInstance = GetModuleHandleA(nullptr);
    klass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    klass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    klass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    klass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&klass)) return fail("the viewer's window class could not be registered");
    WNDCLASSEXA area_class = klass;
    area_class.lpfnWndProc = area_procedure;
    area_class.lpszClassName = kAreaClass;
    area_class.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    area_class.hIcon = nullptr;
    if (!RegisterClassExA(&area_class)) return fail("the viewer's window class could not be registered");
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    viewer.window = CreateWindowExA(0, kWindowClass, "Imvela viewer", style, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                                    nullptr, nullptr, klass.hInstance, nullptr);
    if (!viewer.window) return fail("the viewer's window could not be made");

    viewer.session = std::make_unique<ViewerSession>();
    if (!viewer.session->open(viewer.window, options, choose_emulator, &error)) {
        viewer.session.reset();
        const int status = fail(error);
        DestroyWindow(viewer.window);
        return status;
    }
    int32_t width = viewer.session->image_width(), height = viewer.session->image_height();
    fit_on_screen(&width, &height);
    const int row_width = add_controls(viewer.window, options.bits);
    viewer.status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, viewer.window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBar)), klass.hInstance, nullptr);
    RECT bar{};
    GetWindowRect(viewer.status, &bar);
    const int client_width = std::max<int>(width + kPanelWidth, row_width);
    const int client_height = kRowHeight + std::max<int>(height, kHistogramHeight + 100) + (bar.bottom - bar.top);
    viewer.area_width = width;
    viewer.area_height = std::max<int>(height, kHistogramHeight + 100);
    // The picture area clips the library's window when zoomed and reads the mouse.
    viewer.area = CreateWindowExA(0, kAreaClass, "Picture", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, kRowHeight, width,
                                  height, viewer.window, nullptr, klass.hInstance, nullptr);
    RECT frame{0, 0, client_width, client_height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    SetWindowPos(viewer.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(viewer.status, WM_SIZE, 0, 0);
    ShowWindow(viewer.window, SW_SHOW);
    UpdateWindow(viewer.window);

    viewer.session->start(viewer.area, 0, 0, width, height);
    follow_picture();
    show_status();
    SetTimer(viewer.window, kStatusTimer, 250, nullptr);

    HACCEL accelerators = make_accelerators();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == viewer.mode_box) {
            apply_mode_choice(viewer.window);
            continue;
        }
        if (TranslateAcceleratorA(viewer.window, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyAcceleratorTable(accelerators);
    return static_cast<int>(msg.wParam);
}
