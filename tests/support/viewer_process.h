#pragma once
// The sample viewer as a user runs it: a process of its own (the program beside the test
// program), driven through its window: keys on X11, its buttons' commands on Windows.
#include <cstdint>
#include <string>
#include <vector>

#include "viewer_commands.h"

class ViewerProcess {
public:
    explicit ViewerProcess(const std::vector<std::string>& arguments);
    // Ends a viewer still running.
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    // The viewer's top-level window once it shows; 0 when none came within the wait limit.
    uintptr_t window();
    // Gives a command as the user does.
    bool command(ViewerCommand command);
    // Waits up to limit_ms for the process to end; true with its exit status.
    bool wait_exit(int limit_ms, int* exit_status);

private:
    intptr_t process_ = 0;  // process id (POSIX) or handle (Windows)
    uintptr_t window_ = 0;
};
