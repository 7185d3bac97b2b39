// GoogleTest before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "support/viewer_process.h"
#include "support/wait.h"

namespace {

Display* display() {
    static Display* d = XOpenDisplay(nullptr);
    return d;
}

// The top-level window whose _NET_WM_PID is `pid`, or 0.
Window window_of(uint32_t pid) {
    Window root = DefaultRootWindow(display()), parent = 0, *children = nullptr, found = 0;
    unsigned count = 0;
    if (!XQueryTree(display(), root, &root, &parent, &children, &count)) return 0;
    const Atom pid_atom = XInternAtom(display(), "_NET_WM_PID", False);
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, left = 0;
        unsigned char* value = nullptr;
        if (XGetWindowProperty(display(), children[i], pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &left,
                               &value) == Success && value && items == 1 &&
            *reinterpret_cast<long*>(value) == static_cast<long>(pid))
            found = children[i];
        if (value) XFree(value);
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

uintptr_t ViewerProcess::window() {
    if (!window_ && process_.started() && display())
        wait_until([&] { return (window_ = window_of(process_.process_number())) != 0; });
    return window_;
}

bool ViewerProcess::command(ViewerCommand command) {
    char key[2] = {};
    for (const ViewerKey& k : kViewerKeys)
        if (k.command == command) key[0] = k.key;
    if (!window() || !key[0]) return false;
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.window = static_cast<Window>(window_);
    e.xkey.root = DefaultRootWindow(display());
    e.xkey.keycode = XKeysymToKeycode(display(), XStringToKeysym(key));
    e.xkey.same_screen = True;
    const bool sent = XSendEvent(display(), e.xkey.window, True, KeyPressMask, &e) != 0;
    XSync(display(), False);
    return sent;
}
