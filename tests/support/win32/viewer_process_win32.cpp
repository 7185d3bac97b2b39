#include <windows.h>

#include <string>

#include "support/viewer_process.h"
#include "support/wait.h"

namespace {

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK match_process(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    char name[32] = "";
    GetWindowThreadProcessId(window, &owner);
    GetClassNameA(window, name, sizeof name);
    if (owner != search->process || std::string(name) != "ImvelaViewer") return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

uintptr_t ViewerProcess::window() {
    if (!window_ && process_.started()) {
        Search search{process_.process_number(), nullptr};
        wait_until([&] {
            EnumWindows(match_process, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        });
        window_ = reinterpret_cast<uintptr_t>(search.found);
    }
    return window_;
}

bool ViewerProcess::command(ViewerCommand command) {
    return window() && PostMessageA(reinterpret_cast<HWND>(window_), WM_COMMAND, static_cast<WPARAM>(command), 0);
}
