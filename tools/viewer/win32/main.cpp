// imvela-viewer.exe: the library's preview window as a child of the viewer's window, a row
// of controls (colour mode, the three property dialogs, save still, record, trigger) with
// keyboard accelerators for the same commands, and a status bar with the mode, frames per
// second, errors and the last command's outcome.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
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
    std::string shown[4];
};
Viewer viewer;

// Without a choice in the environment, camera 0 of the emulator.
bool choose_emulator() {
    if (GetEnvironmentVariableA("IMVELA_EMULATOR", nullptr, 0) != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND)
        return false;
    return SetEnvironmentVariableA("IMVELA_EMULATOR", "0") != 0;
}

void show_status() {
    if (!viewer.session || !viewer.status) return;
    const std::string parts[4] = {viewer.session->mode_text(), viewer.session->rate_text(),
                                  viewer.session->errors_text(), viewer.session->message()};
    for (int i = 0; i < 4; ++i)
        if (parts[i] != viewer.shown[i]) {
            viewer.shown[i] = parts[i];
            SendMessageA(viewer.status, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(parts[i].c_str()));
        }
}

HWND add_control(HWND parent, const char* klass, const char* text, DWORD style, int x, int width, int height, int id) {
    HWND control = CreateWindowExA(0, klass, text, WS_CHILD | WS_VISIBLE | style, x, 4, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return control;
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

void run_command(HWND window, int id) {
    if (id == kQuit) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    if (!viewer.session) return;
    viewer.session->run(static_cast<ViewerCommand>(id), window);
    if (id >= kShowGray8 && id < kShowGray8 + kColorModeCount) SendMessageA(viewer.mode_box, CB_SETCURSEL, id - kShowGray8, 0);
    show_status();
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CAMERA_FRAME:
        case WM_CAMERA_ERROR:
            if (viewer.session) viewer.session->on_message(message, wparam, lparam);
            return 0;
        case WM_TIMER:
            if (viewer.session && viewer.session->tick()) show_status();
            return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) == kColorModeBox) {
                if (HIWORD(wparam) == CBN_SELCHANGE) {
                    const LRESULT chosen = SendMessageA(viewer.mode_box, CB_GETCURSEL, 0, 0);
                    if (chosen >= 0 && chosen < kColorModeCount) run_command(window, kShowGray8 + static_cast<int>(chosen));
                    SetFocus(window);
                }
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
    const int room_x = work.right - work.left - 32, room_y = work.bottom - work.top - 120;
    while (*width > 64 && (*width > room_x || *height > room_y)) {
        *width /= 2;
        *height /= 2;
    }
}

HACCEL make_accelerators() {
    ACCEL table[sizeof kViewerKeys / sizeof kViewerKeys[0] + 1];
    int n = 0;
    table[n++] = ACCEL{FVIRTKEY, VK_ESCAPE, kQuit};
    for (const ViewerKey& k : kViewerKeys) {
        const char key = k.key >= 'a' && k.key <= 'z' ? static_cast<char>(k.key - 'a' + 'A') : k.key;
        table[n++] = ACCEL{FVIRTKEY, static_cast<WORD>(key), static_cast<WORD>(k.command)};
    }
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
        text += "\nKeys:\n";
        for (const ViewerKey& k : kViewerKeys) text += std::string("  ") + k.key + "  " + k.what + "\n";
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
    const int client_width = std::max<int>(width, row_width), client_height = kRowHeight + height + (bar.bottom - bar.top);
    RECT frame{0, 0, client_width, client_height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    SetWindowPos(viewer.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(viewer.status, WM_SIZE, 0, 0);
    const int edges[4] = {client_width / 5, client_width * 2 / 5, client_width * 3 / 5, -1};
    SendMessageA(viewer.status, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    ShowWindow(viewer.window, SW_SHOW);
    UpdateWindow(viewer.window);

    viewer.session->start(viewer.window, 0, kRowHeight, width, height);
    show_status();
    SetTimer(viewer.window, kStatusTimer, 250, nullptr);

    HACCEL accelerators = make_accelerators();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(viewer.window, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyAcceleratorTable(accelerators);
    return static_cast<int>(msg.wParam);
}
