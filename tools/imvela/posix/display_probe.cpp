#include <X11/Xlib.h>

#include "display_probe.h"
#include "environment_value.h"

bool display_available(std::string* detail, std::string* remedy) {
    *remedy = "set DISPLAY to a running X server (or run under xvfb-run)";
    const std::string name = environment_value("DISPLAY");
    if (name.empty()) {
        *detail = "DISPLAY is not set";
        return false;
    }
    Display* display = XOpenDisplay(name.c_str());
    if (!display) {
        *detail = "the X display " + name + " does not answer";
        return false;
    }
    XCloseDisplay(display);
    *detail = "X display " + name;
    return true;
}
