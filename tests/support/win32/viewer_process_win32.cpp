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

HANDLE as_handle(intptr_t process) { return reinterpret_cast<HANDLE>(process); }

}  // namespace

ViewerProcess::ViewerProcess(const std::vector<std::string>& arguments) {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self, length);
    program = program.substr(0, program.find_last_of("\\/") + 1) + "imvela-viewer.exe";
    std::string line = "\"" + program + "\"";
    for (const std::string& a : arguments) line += " \"" + a + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        process_ = reinterpret_cast<intptr_t>(started.hProcess);
    }
}

ViewerProcess::~ViewerProcess() {
    if (!process_) return;
    if (WaitForSingleObject(as_handle(process_), 0) != WAIT_OBJECT_0) {
        TerminateProcess(as_handle(process_), 1);
        WaitForSingleObject(as_handle(process_), 5000);
    }
    CloseHandle(as_handle(process_));
}

uintptr_t ViewerProcess::window() {
    if (!window_ && process_) {
        Search search{GetProcessId(as_handle(process_)), nullptr};
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

bool ViewerProcess::wait_exit(int limit_ms, int* exit_status) {
    DWORD code = 0;
    if (!process_ || WaitForSingleObject(as_handle(process_), static_cast<DWORD>(limit_ms)) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(as_handle(process_), &code))
        return false;
    *exit_status = static_cast<int>(code);
    return true;
}
