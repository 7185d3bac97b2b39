// imvela-viewer on X11: the library's preview window inside a window of the viewer's own,
// keys for the commands and the status (mode, frames per second, errors, the last
// command's outcome) in the title.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "viewer_session.h"

namespace {

// Without a choice in the environment, camera 0 of the emulator.
bool choose_emulator() { return !getenv("IMVELA_EMULATOR") && setenv("IMVELA_EMULATOR", "0", 1) == 0; }

// The X11 build has no property dialogs; every other command has its key.
bool has_key(const ViewerKey& k) { return !is_dialog_command(k.command); }

void print_keys() {
    std::printf("keys:\n");
    for (const ViewerKey& k : kViewerKeys)
        if (has_key(k)) std::printf("  %c  %s\n", k.key, k.what);
}

// The largest of 1:1, 1:2, 1:4 ... that leaves a margin on the screen.
void fit_on_screen(Display* display, int32_t* width, int32_t* height) {
    const int screen = DefaultScreen(display);
    while (*width > 64 && (*width > DisplayWidth(display, screen) * 9 / 10 || *height > DisplayHeight(display, screen) * 9 / 10)) {
        *width /= 2;
        *height /= 2;
    }
}

Window make_window(Display* display, int32_t width, int32_t height, Atom* close_request) {
    const int screen = DefaultScreen(display);
    const Window w = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                         BlackPixel(display, screen));
    XClassHint klass{const_cast<char*>("imvela-viewer"), const_cast<char*>("ImvelaViewer")};
    XSetClassHint(display, w, &klass);
    XSizeHints size{};
    size.flags = PMinSize | PMaxSize;
    size.min_width = size.max_width = width;
    size.min_height = size.max_height = height;
    XSetWMNormalHints(display, w, &size);
    const long pid = getpid();
    XChangeProperty(display, w, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    *close_request = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, w, close_request, 1);
    XStoreName(display, w, "Imvela viewer");
    XSelectInput(display, w, KeyPressMask | StructureNotifyMask);
    XMapWindow(display, w);
    XSync(display, False);
    return w;
}

// The command of a key press, or 0.
int32_t command_of(XKeyEvent* event) {
    char text[8] = {};
    KeySym symbol = 0;
    if (XLookupString(event, text, sizeof text, &symbol, nullptr) != 1) return 0;
    if (symbol == XK_Escape) return kQuit;
    for (const ViewerKey& k : kViewerKeys)
        if (has_key(k) && k.key == text[0]) return k.command;
    return 0;
}

// Serves the window and the library's messages until the user quits or closes the window.
void serve(Display* display, Window window, Atom close_request, HWND queue, ViewerSession* session) {
    using Clock = std::chrono::steady_clock;
    std::string title;
    Clock::time_point next_tick = Clock::now();
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == DestroyNotify) return;
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == close_request) return;
            if (event.type != KeyPress) continue;
            const int32_t command = command_of(&event.xkey);
            if (command == kQuit) return;
            if (command) session->run(static_cast<ViewerCommand>(command), nullptr);
        }
        ImvelaMsg m;
        for (uint32_t wait = 20; ImvelaMsg_Get(queue, wait, &m); wait = 0) session->on_message(m.message, m.wParam, m.lParam);
        const bool tick_due = Clock::now() >= next_tick;
        if (tick_due) {
            session->tick();
            next_tick = Clock::now() + std::chrono::milliseconds(250);
        }
        // The title follows the status a few times a second, and at once after a command.
        if (tick_due || title.find(session->message()) == std::string::npos) {
            const std::string line = session->status_line();
            if (line != title) {
                title = line;
                XStoreName(display, window, title.c_str());
                XFlush(display);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ViewerOptions options;
    std::string error;
    if (!options.parse(argc, argv, &error)) {
        std::fprintf(stderr, "imvela-viewer: %s\n%s", error.c_str(), viewer_usage());
        return 2;
    }
    if (options.help) {
        std::printf("%s", viewer_usage());
        print_keys();
        return 0;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "imvela-viewer: no X display (set DISPLAY)\n");
        return 1;
    }
    HWND queue = ImvelaMsg_CreateQueue();
    int status = 0;
    {
        ViewerSession session;
        if (!session.open(queue, options, choose_emulator, &error)) {
            std::fprintf(stderr, "imvela-viewer: %s\n", error.c_str());
            status = 1;
        } else {
            int32_t width = session.image_width(), height = session.image_height();
            fit_on_screen(display, &width, &height);
            Atom close_request = 0;
            const Window window = make_window(display, width, height, &close_request);
            if (!session.start(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)), 0, 0, width, height)) {
                std::fprintf(stderr, "imvela-viewer: %s\n", session.message().c_str());
                status = 1;
            } else {
                serve(display, window, close_request, queue, &session);
            }
            // The library's window inside it goes with the session.
            session.close();
            XDestroyWindow(display, window);
        }
    }
    XCloseDisplay(display);
    ImvelaMsg_DestroyQueue(queue);
    return status;
}
