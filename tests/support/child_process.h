#pragma once
// Another program started by a test, with the test's environment; ended with the object.
#include <cstdint>
#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Kills the program if it still runs and waits for its end.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return id_ != 0; }
    // The system's number of the process (to find its windows); 0 when it did not start.
    uint32_t process_number() const;
    // Waits up to limit_ms for the program to end; true with its exit status.
    bool wait_exit(int limit_ms, int* exit_status);

private:
    intptr_t id_ = 0;  // POSIX: the process id; Windows: the process handle
};
