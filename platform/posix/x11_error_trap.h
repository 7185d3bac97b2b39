#pragma once
// Xlib reports protocol errors (a parent window that does not exist, a window destroyed by
// someone else) to one process-wide handler whose default ends the process. The library's
// own display connections are registered here: their errors are counted instead, and errors
// of the application's connections still go to the handler that was installed before.
#include <X11/Xlib.h>

namespace imvela::platform {

// False when too many connections are registered already.
bool trap_x11_errors(Display* display);
void untrap_x11_errors(Display* display);
// Errors reported on the connection since the last call; the caller syncs first.
int take_x11_errors(Display* display);

}  // namespace imvela::platform
