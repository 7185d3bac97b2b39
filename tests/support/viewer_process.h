#pragma once
// The sample viewer as a user runs it: a program of its own, driven through its window: keys
// on X11, its buttons' commands on Windows.
#include <cstdint>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "viewer_commands.h"

class ViewerProcess {
public:
    ViewerProcess(const std::string& program, const std::vector<std::string>& arguments)
        : process_(program, arguments) {}

    // The viewer's top-level window once it shows; 0 when none came within the wait limit.
    uintptr_t window();
    // Gives a command as the user does.
    bool command(ViewerCommand command);
    bool wait_exit(int limit_ms, int* exit_status) { return process_.wait_exit(limit_ms, exit_status); }

private:
    ChildProcess process_;
    uintptr_t window_ = 0;
};
