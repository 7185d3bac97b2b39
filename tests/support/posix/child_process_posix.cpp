#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/child_process.h"
#include "support/wait.h"

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Its output would mix with the test's.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), environ) == 0) id_ = pid;
    posix_spawn_file_actions_destroy(&files);
}

uint32_t ChildProcess::process_number() const { return static_cast<uint32_t>(id_); }

bool ChildProcess::wait_exit(int limit_ms, int* exit_status) {
    int status = 0;
    if (!id_ || !wait_until([&] { return waitpid(static_cast<pid_t>(id_), &status, WNOHANG) != 0; }, limit_ms))
        return false;
    *exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    id_ = 0;  // reaped
    return true;
}

ChildProcess::~ChildProcess() {
    if (!id_) return;
    kill(static_cast<pid_t>(id_), SIGKILL);
    waitpid(static_cast<pid_t>(id_), nullptr, 0);
}
