#include "platform/posix/x11_error_trap.h"

#include <mutex>

namespace imvela::platform {
namespace {

constexpr int kMaxTrapped = 64;

struct TrapTable {
    std::mutex lock;
    Display* displays[kMaxTrapped] = {};
    int errors[kMaxTrapped] = {};
    XErrorHandler previous = nullptr;
};

TrapTable& table() {
    static TrapTable* t = new TrapTable;  // never destroyed: Xlib may call the handler during exit
    return *t;
}

int find(TrapTable& t, Display* display) {
    for (int i = 0; i < kMaxTrapped; ++i)
        if (t.displays[i] == display) return i;
    return -1;
}

int on_x11_error(Display* display, XErrorEvent* event) {
    TrapTable& t = table();
    XErrorHandler previous;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        const int i = find(t, display);
        if (i >= 0) {
            ++t.errors[i];
            return 0;
        }
        previous = t.previous;
    }
    return previous ? previous(display, event) : 0;
}

}  // namespace

bool trap_x11_errors(Display* display) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        XErrorHandler previous = XSetErrorHandler(on_x11_error);
        std::lock_guard<std::mutex> guard(table().lock);
        table().previous = previous;
    });
    TrapTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const int i = find(t, nullptr);
    if (i < 0) return false;
    t.displays[i] = display;
    t.errors[i] = 0;
    return true;
}

void untrap_x11_errors(Display* display) {
    TrapTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const int i = find(t, display);
    if (i >= 0) t.displays[i] = nullptr;
}

int take_x11_errors(Display* display) {
    TrapTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const int i = find(t, display);
    if (i < 0) return 0;
    const int n = t.errors[i];
    t.errors[i] = 0;
    return n;
}

}  // namespace imvela::platform
