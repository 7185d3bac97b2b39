// GoogleTest before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/screen_probe.h"
#include "support/screen_claim.h"
#include "support/wait.h"

namespace {

// The tests' own connection, separate from the library's.
Display* display() {
    static Display* d = XOpenDisplay(nullptr);
    return d;
}

Window root() { return DefaultRootWindow(display()); }

// Walks the window tree instead of asking about a window directly: asking about a window
// that is gone is a protocol error.
bool tree_contains(Window under, Window wanted) {
    Window rootReturn, parentReturn, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display(), under, &rootReturn, &parentReturn, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) found = children[i] == wanted || tree_contains(children[i], wanted);
    if (children) XFree(children);
    return found;
}

std::string window_title(Window w) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(display(), w, &name) && name) title = name;
    if (name) XFree(name);
    return title;
}

int channel_shift(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int top_level_window_count() {
    XSync(display(), False);
    Window rootReturn, parentReturn, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display(), root(), &rootReturn, &parentReturn, &children, &count)) return 0;
    if (children) XFree(children);
    return static_cast<int>(count);
}

int& windows_before_the_test() {
    static int count = 0;
    return count;
}

// One lock file per display.
int screen_lock() {
    static const int fd = [] {
        std::string path = "/tmp/.imvela-test-screen-";
        for (const char* c = DisplayString(display()); *c; ++c) path += *c == '/' ? '_' : *c;
        return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }();
    return fd;
}

}  // namespace

bool screen_available() {
    if (!display()) {
        const char* required = getenv("IMVELA_TEST_SCREEN");
        if (required && std::string(required) == "required") ADD_FAILURE() << "no X display for the window tests";
        return false;
    }
    return screen_lock() >= 0 && claim_screen_for_this_test(
                                     [] {
                                         if (flock(screen_lock(), LOCK_EX | LOCK_NB) != 0) return false;
                                         windows_before_the_test() = top_level_window_count();
                                         return true;
                                     },
                                     [] {
                                         // The server destroys windows after their client asked: the next
                                         // test gets the screen once this test's windows are gone.
                                         wait_until([] { return top_level_window_count() <= windows_before_the_test(); },
                                                    2000);
                                         flock(screen_lock(), LOCK_UN);
                                     });
}
int32_t screen_width() { return DisplayWidth(display(), DefaultScreen(display())); }
int32_t screen_height() { return DisplayHeight(display(), DefaultScreen(display())); }

bool window_exists(uintptr_t window) {
    if (!display()) return false;
    XSync(display(), False);
    return tree_contains(root(), static_cast<Window>(window));
}

bool describe_window(uintptr_t window, WindowFacts* facts) {
    if (!window_exists(window)) return false;
    const Window w = static_cast<Window>(window);
    XWindowAttributes a;
    if (!XGetWindowAttributes(display(), w, &a)) return false;
    *facts = WindowFacts{};
    facts->title = window_title(w);
    XClassHint hint{};
    if (XGetClassHint(display(), w, &hint)) {
        if (hint.res_class) facts->class_name = hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    Window rootReturn, parentReturn, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display(), w, &rootReturn, &parentReturn, &children, &count);
    if (children) XFree(children);
    facts->parent = parentReturn == root() ? 0 : parentReturn;
    int sx = 0, sy = 0;
    Window child;
    XTranslateCoordinates(display(), w, root(), 0, 0, &sx, &sy, &child);
    facts->outer_x = sx;
    facts->outer_y = sy;
    facts->outer_width = a.width;
    facts->outer_height = a.height;
    facts->client_x = a.x;
    facts->client_y = a.y;
    facts->client_width = a.width;
    facts->client_height = a.height;
    facts->visible = a.map_state == IsViewable;
    return true;
}

bool take_window_shot(uintptr_t window, WindowShot* shot) {
    WindowFacts facts;
    if (!describe_window(window, &facts) || !facts.visible) return false;
    XImage* image = XGetImage(display(), static_cast<Window>(window), 0, 0, static_cast<unsigned>(facts.client_width),
                              static_cast<unsigned>(facts.client_height), AllPlanes, ZPixmap);
    if (!image) return false;
    const int rs = channel_shift(image->red_mask), gs = channel_shift(image->green_mask),
              bs = channel_shift(image->blue_mask);
    shot->width = facts.client_width;
    shot->height = facts.client_height;
    shot->pixels.resize(static_cast<size_t>(shot->width) * shot->height);
    for (int32_t y = 0; y < shot->height; ++y)
        for (int32_t x = 0; x < shot->width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            shot->pixels[static_cast<size_t>(y) * shot->width + x] =
                static_cast<uint32_t>((((p >> rs) & 0xFF) << 16) | (((p >> gs) & 0xFF) << 8) | ((p >> bs) & 0xFF));
        }
    XDestroyImage(image);
    return true;
}

bool resize_window_client(uintptr_t window, int32_t width, int32_t height) {
    if (!window_exists(window)) return false;
    XResizeWindow(display(), static_cast<Window>(window), static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display(), False);
    return true;
}

bool close_window_as_user(uintptr_t window) {
    if (!window_exists(window)) return true;
    // What a window manager sends when the user clicks the close button.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = static_cast<Window>(window);
    e.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display(), "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display(), static_cast<Window>(window), False, NoEventMask, &e);
    XSync(display(), False);
    for (int i = 0; i < 500; ++i) {
        if (!window_exists(window)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool lose_window_contents(uintptr_t window) {
    if (!window_exists(window)) return false;
    XUnmapWindow(display(), static_cast<Window>(window));
    XSync(display(), False);
    XMapWindow(display(), static_cast<Window>(window));
    XSync(display(), False);
    return true;
}

// The children of `parent` with this title.
static std::vector<Window> children_titled(Window parent, const char* title) {
    std::vector<Window> found;
    if (!display()) return found;
    Window rootReturn, parentReturn, *children = nullptr;
    unsigned count = 0;
    XSync(display(), False);
    if (!XQueryTree(display(), parent, &rootReturn, &parentReturn, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i)
        if (window_title(children[i]) == title) found.push_back(children[i]);
    if (children) XFree(children);
    return found;
}

int count_windows_titled(const char* title) {
    return display() ? static_cast<int>(children_titled(root(), title).size()) : 0;
}

uintptr_t find_window_titled(const char* title) {
    if (!display()) return 0;
    const std::vector<Window> found = children_titled(root(), title);
    return found.empty() ? 0 : found.front();
}

uintptr_t find_child_titled(uintptr_t parent, const char* title) {
    if (!window_exists(parent)) return 0;
    const std::vector<Window> found = children_titled(static_cast<Window>(parent), title);
    return found.empty() ? 0 : found.front();
}

bool window_class_registered(const char*) { return false; }

uintptr_t create_parent_window(int32_t width, int32_t height) {
    if (!display()) return 0;
    const int screen = DefaultScreen(display());
    const Window w = XCreateSimpleWindow(display(), root(), 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, BlackPixel(display(), screen),
                                         WhitePixel(display(), screen));
    XStoreName(display(), w, "imvela test parent");
    XMapWindow(display(), w);
    XSync(display(), False);
    return w;
}

void destroy_parent_window(uintptr_t window) {
    if (!window_exists(window)) return;
    XDestroyWindow(display(), static_cast<Window>(window));
    XSync(display(), False);
}

int64_t process_resource_count() {
    int64_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}
