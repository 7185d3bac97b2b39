// imvela-viewer on X11: the library's preview window inside a picture area of the viewer's
// own, beside a panel with the live histogram, the samples under the mouse, the values the
// keys adjust and the status; keys for the commands, a help overlay, the mouse for zoom, pan
// and regions. The status is in the title too.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "viewer_session.h"

namespace {

constexpr int kPanelWidth = 300;
constexpr int kMinimumHeight = 600;
constexpr int kLine = 13;  // text line height of the core font
constexpr int kHistogramHeight = 110;

// Without a choice in the environment, camera 0 of the emulator.
bool choose_emulator() { return !getenv("IMVELA_EMULATOR") && setenv("IMVELA_EMULATOR", "0", 1) == 0; }

void print_keys() {
    std::printf("keys and mouse:\n");
    for (const std::string& line : ViewerSession::help_lines(true)) std::printf("  %s\n", line.c_str());
}

// The largest of 1:1, 1:2, 1:4 ... that fits on the screen beside the panel, with a margin
// below for a title bar.
void fit_on_screen(Display* display, int32_t* width, int32_t* height) {
    const int screen = DefaultScreen(display);
    while (*width > 64 && (*width > DisplayWidth(display, screen) - kPanelWidth ||
                           *height > DisplayHeight(display, screen) * 9 / 10)) {
        *width /= 2;
        *height /= 2;
    }
}

unsigned long color(Display* display, const char* name) {
    XColor c{}, exact{};
    const Colormap map = DefaultColormap(display, DefaultScreen(display));
    return XAllocNamedColor(display, map, name, &c, &exact) ? c.pixel : WhitePixel(display, DefaultScreen(display));
}

class X11Viewer {
public:
    X11Viewer(Display* display, ViewerSession* session) : display_(display), session_(session) {}
    ~X11Viewer();
    void make(int32_t area_width, int32_t area_height);
    Window area() const { return area_; }
    // Serves the window and the library's messages until the user quits or closes it.
    void serve(HWND queue);

private:
    void handle(XEvent& event, bool* quit);
    int32_t command_of(XKeyEvent* event) const;
    void follow_geometry();
    void show_region();
    void draw_panel();
    void draw_help();
    void text(Drawable d, int x, int y, const std::string& s, unsigned long pixel);

    Display* display_;
    ViewerSession* session_;
    int screen_ = 0;
    Window top_ = 0, area_ = 0, picture_ = 0, help_ = 0, edges_[4] = {};
    Pixmap panel_ = 0;
    GC gc_ = nullptr;
    Atom close_request_ = 0;
    int32_t area_width_ = 0, area_height_ = 0, height_ = 0;
    uint32_t geometry_seen_ = 0;
    unsigned long white_ = 0, gray_ = 0, red_ = 0, green_ = 0, blue_ = 0, yellow_ = 0, panel_back_ = 0;
    std::string title_;
};

X11Viewer::~X11Viewer() {
    if (panel_) XFreePixmap(display_, panel_);
    if (gc_) XFreeGC(display_, gc_);
    if (top_) XDestroyWindow(display_, top_);
}

void X11Viewer::make(int32_t area_width, int32_t area_height) {
    screen_ = DefaultScreen(display_);
    area_width_ = area_width;
    area_height_ = area_height;
    height_ = std::max(area_height, kMinimumHeight);
    const int width = area_width + kPanelWidth;
    const unsigned long black = BlackPixel(display_, screen_);
    top_ = XCreateSimpleWindow(display_, RootWindow(display_, screen_), 0, 0, static_cast<unsigned>(width),
                               static_cast<unsigned>(height_), 0, black, black);
    XClassHint klass{const_cast<char*>("imvela-viewer"), const_cast<char*>("ImvelaViewer")};
    XSetClassHint(display_, top_, &klass);
    XSizeHints size{};
    size.flags = PMinSize | PMaxSize;
    size.min_width = size.max_width = width;
    size.min_height = size.max_height = height_;
    XSetWMNormalHints(display_, top_, &size);
    const long pid = getpid();
    XChangeProperty(display_, top_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    close_request_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, top_, &close_request_, 1);
    XStoreName(display_, top_, "Imvela viewer");
    XSelectInput(display_, top_, KeyPressMask | StructureNotifyMask | ExposureMask);
    // The picture area clips the library's window when zoomed; the mouse is read there.
    area_ = XCreateSimpleWindow(display_, top_, 0, 0, static_cast<unsigned>(area_width), static_cast<unsigned>(area_height),
                                0, black, black);
    XStoreName(display_, area_, "Picture");
    XSelectInput(display_, area_, ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask);
    white_ = color(display_, "white");
    gray_ = color(display_, "gray60");
    red_ = color(display_, "red");
    green_ = color(display_, "green");
    blue_ = color(display_, "dodgerblue");
    yellow_ = color(display_, "yellow");
    panel_back_ = color(display_, "gray15");
    for (Window& edge : edges_)
        edge = XCreateSimpleWindow(display_, area_, 0, 0, 1, 1, 0, yellow_, yellow_);
    help_ = XCreateSimpleWindow(display_, area_, 8, 8, static_cast<unsigned>(std::min(area_width - 16, 520)),
                                static_cast<unsigned>(std::min<int32_t>(area_height - 16, static_cast<int32_t>(ViewerSession::help_lines(true).size() + 2) * kLine)), 1, white_, black);
    XSelectInput(display_, help_, ExposureMask);
    panel_ = XCreatePixmap(display_, top_, kPanelWidth, static_cast<unsigned>(height_),
                           static_cast<unsigned>(DefaultDepth(display_, screen_)));
    gc_ = XCreateGC(display_, top_, 0, nullptr);
    XMapWindow(display_, area_);
    XMapWindow(display_, top_);
    XSync(display_, False);
}

// The command of a key press, or 0.
int32_t X11Viewer::command_of(XKeyEvent* event) const {
    char chars[8] = {};
    KeySym symbol = 0;
    const int n = XLookupString(event, chars, sizeof chars, &symbol, nullptr);
    if (symbol == XK_Escape) return kQuit;
    const bool shift = (event->state & ShiftMask) != 0;
    const struct {
        KeySym symbol;
        ViewerSpecialKey key;
    } specials[] = {{XK_Up, kKeyUp},     {XK_Down, kKeyDown},       {XK_Left, kKeyLeft},
                    {XK_Right, kKeyRight}, {XK_Page_Up, kKeyPageUp}, {XK_Page_Down, kKeyPageDown}};
    for (const auto& s : specials)
        if (s.symbol == symbol)
            for (const ViewerSpecial& k : kViewerSpecialKeys)
                if (k.key == s.key && k.shift == shift) return k.command;
    if (n != 1) return 0;
    for (const ViewerKey& k : kViewerKeys)
        if (k.key == chars[0]) return k.command;
    return 0;
}

void X11Viewer::handle(XEvent& event, bool* quit) {
    switch (event.type) {
        case DestroyNotify:
            if (event.xdestroywindow.window == top_) *quit = true;
            break;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == close_request_) *quit = true;
            break;
        case KeyPress: {
            const int32_t command = command_of(&event.xkey);
            if (command == kQuit) *quit = true;
            else if (command) session_->run(static_cast<ViewerCommand>(command), nullptr);
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button4 || event.xbutton.button == Button5)
                session_->wheel(event.xbutton.x, event.xbutton.y, event.xbutton.button == Button4);
            else
                session_->pressed(event.xbutton.x, event.xbutton.y,
                                  event.xbutton.button == Button1 ? ViewerSession::Button::kLeft
                                                                  : ViewerSession::Button::kRight);
            break;
        case ButtonRelease:
            if (event.xbutton.button != Button4 && event.xbutton.button != Button5)
                session_->released(event.xbutton.x, event.xbutton.y);
            break;
        case MotionNotify:
            session_->pointer_moved(event.xmotion.x, event.xmotion.y);
            break;
        case LeaveNotify:
            session_->pointer_moved(-1, -1);
            break;
        default:
            break;
    }
}

// The library's window follows zoom and pan; it is made anew at each start of capture.
void X11Viewer::follow_geometry() {
    Window root = 0, parent = 0, *children = nullptr, picture = 0;
    unsigned count = 0;
    if (XQueryTree(display_, area_, &root, &parent, &children, &count)) {
        // The library's window is the area's child that is not the viewer's own.
        for (unsigned i = 0; i < count; ++i)
            if (children[i] != help_ && std::find(std::begin(edges_), std::end(edges_), children[i]) == std::end(edges_))
                picture = children[i];
        if (children) XFree(children);
    }
    if (!picture || (picture == picture_ && geometry_seen_ == session_->geometry_version())) return;
    picture_ = picture;
    geometry_seen_ = session_->geometry_version();
    const ViewRect p = session_->geometry().picture();
    XMoveResizeWindow(display_, picture_, p.x, p.y, static_cast<unsigned>(std::max(p.width, 1)),
                      static_cast<unsigned>(std::max(p.height, 1)));
}

void X11Viewer::show_region() {
    ViewRect r;
    if (!session_->region_outline(&r)) {
        for (Window edge : edges_) XUnmapWindow(display_, edge);
        return;
    }
    const int32_t w = std::max(r.width, 1), h = std::max(r.height, 1);
    const ViewRect sides[4] = {{r.x, r.y, w, 2}, {r.x, r.y + h - 2, w, 2}, {r.x, r.y, 2, h}, {r.x + w - 2, r.y, 2, h}};
    for (int i = 0; i < 4; ++i) {
        XMoveResizeWindow(display_, edges_[i], sides[i].x, sides[i].y, static_cast<unsigned>(std::max(sides[i].width, 1)),
                          static_cast<unsigned>(std::max(sides[i].height, 1)));
        XMapRaised(display_, edges_[i]);
    }
}

void X11Viewer::text(Drawable d, int x, int y, const std::string& s, unsigned long pixel) {
    XSetForeground(display_, gc_, pixel);
    XDrawString(display_, d, gc_, x, y, s.c_str(), static_cast<int>(s.size()));
}

// Breaks a status text into panel lines.
std::vector<std::string> wrap(const std::string& s, size_t columns) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = std::min(s.size(), start + columns);
        if (end < s.size()) {
            const size_t space = s.rfind(' ', end);
            if (space != std::string::npos && space > start) end = space;
        }
        lines.push_back(s.substr(start, end - start));
        start = end;
        while (start < s.size() && s[start] == ' ') ++start;
    }
    return lines;
}

void X11Viewer::draw_panel() {
    XSetForeground(display_, gc_, panel_back_);
    XFillRectangle(display_, panel_, gc_, 0, 0, kPanelWidth, static_cast<unsigned>(height_));
    int y = kLine;
    const Histogram& h = session_->histogram();
    text(panel_, 8, y, "Histogram (0.." + std::to_string(h.sample_max) + ")", white_);
    y += 4;
    const int left = (kPanelWidth - Histogram::kBins) / 2, bottom = y + kHistogramHeight;
    XSetForeground(display_, gc_, gray_);
    XDrawRectangle(display_, panel_, gc_, left - 1, y, Histogram::kBins + 1, kHistogramHeight + 1);
    const unsigned long channel_colors[3] = {h.channels == 1 ? white_ : red_, green_, blue_};
    for (int c = 0; c < h.channels && h.tallest; ++c) {
        XPoint points[Histogram::kBins];
        for (int i = 0; i < Histogram::kBins; ++i)
            points[i] = {static_cast<short>(left + i),
                         static_cast<short>(bottom - static_cast<int>(uint64_t{h.counts[c][i]} * kHistogramHeight / h.tallest))};
        XSetForeground(display_, gc_, channel_colors[c]);
        XDrawLines(display_, panel_, gc_, points, Histogram::kBins, CoordModeOrigin);
    }
    y = bottom + 2 * kLine;
    const std::string readout = session_->readout();
    text(panel_, 8, y, readout.empty() ? "(mouse over the picture: its samples)" : readout, yellow_);
    y += kLine;
    const SensorWindow& w = session_->capture_window();
    char line[128];
    std::snprintf(line, sizeof line, "window %d x %d from (%d, %d), zoom %dx", w.width, w.height, w.h_start, w.v_start,
                  session_->geometry().zoom());
    text(panel_, 8, y, line, white_);
    y += 3 * kLine / 2;
    text(panel_, 8, y, "Values (Up/Down choose, Left/Right change):", white_);
    const auto& values = session_->live_values().values();
    for (size_t i = 0; i < values.size(); ++i) {
        y += kLine;
        const bool chosen = static_cast<int>(i) == session_->live_values().chosen();
        text(panel_, 8, y, (chosen ? "> " : "  ") + LiveValues::describe(session_->handle(), values[i]),
             chosen ? yellow_ : values[i].analog ? white_ : gray_);
    }
    y += 3 * kLine / 2;
    const std::string status[] = {session_->mode_text(), session_->rate_text(), session_->errors_text(),
                                  session_->message()};
    for (const std::string& s : status)
        for (const std::string& l : wrap(s, 46)) {
            if (y + kLine > height_ - 4) break;
            y += kLine;
            text(panel_, 8, y, l, white_);
        }
    if (y + kLine <= height_ - 4) text(panel_, 8, height_ - 6, "h or ?: keys and mouse", gray_);
    XCopyArea(display_, panel_, top_, gc_, 0, 0, kPanelWidth, static_cast<unsigned>(height_), area_width_, 0);
}

void X11Viewer::draw_help() {
    if (!session_->help_shown()) {
        XUnmapWindow(display_, help_);
        return;
    }
    XMapRaised(display_, help_);
    XClearWindow(display_, help_);
    int y = kLine + 4;
    text(help_, 10, y, "Keys and mouse (h or ? closes)", yellow_);
    for (const std::string& line : ViewerSession::help_lines(true)) {
        y += kLine;
        text(help_, 10, y, line, white_);
    }
}

void X11Viewer::serve(HWND queue) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point next_tick = Clock::now();
    bool help_was = false;
    for (bool quit = false; !quit;) {
        bool changed = false;
        while (XPending(display_) && !quit) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event, &quit);
            changed = changed || event.type != Expose || event.xexpose.count == 0;
        }
        if (quit) break;
        ImvelaMsg m;
        for (uint32_t wait = 20; ImvelaMsg_Get(queue, wait, &m); wait = 0) session_->on_message(m.message, m.wParam, m.lParam);
        const bool tick_due = Clock::now() >= next_tick;
        if (tick_due) {
            session_->tick();
            session_->take_picture();
            next_tick = Clock::now() + std::chrono::milliseconds(250);
        }
        if (!tick_due && !changed) continue;
        follow_geometry();
        show_region();
        if (help_was != session_->help_shown() || changed) draw_help();
        help_was = session_->help_shown();
        draw_panel();
        const std::string line = session_->status_line();
        if (line != title_) {
            title_ = line;
            XStoreName(display_, top_, title_.c_str());
        }
        XFlush(display_);
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
    // The library's window may go (a new start of capture makes a new one) between finding
    // and moving it: such a request fails and is of no consequence.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
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
            X11Viewer viewer(display, &session);
            viewer.make(width, height);
            if (!session.start(reinterpret_cast<HWND>(static_cast<uintptr_t>(viewer.area())), 0, 0, width, height)) {
                std::fprintf(stderr, "imvela-viewer: %s\n", session.message().c_str());
                status = 1;
            } else {
                viewer.serve(queue);
            }
            // The library's window inside the viewer's goes with the session.
            session.close();
        }
    }
    XCloseDisplay(display);
    ImvelaMsg_DestroyQueue(queue);
    return status;
}
