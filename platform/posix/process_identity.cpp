#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/process_identity.h"

namespace imvela::platform {

namespace {

// Field 22 of /proc/<id>/stat: the start time in clock ticks after boot; 0 where there is
// no such file (an ended process, or a system without /proc).
uint64_t start_of(pid_t id) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(id));
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    char text[1024];
    ssize_t got;
    do got = read(fd, text, sizeof text - 1);
    while (got < 0 && errno == EINTR);
    close(fd);
    if (got <= 0) return 0;
    text[got] = '\0';
    // The command name in field 2 may hold spaces and parentheses: count after the last ')'.
    const char* p = std::strrchr(text, ')');
    if (!p) return 0;
    for (int field = 2; field < 22; ++field) {
        p = std::strchr(p + 1, ' ');
        if (!p) return 0;
    }
    char* end = nullptr;
    const unsigned long long ticks = std::strtoull(p + 1, &end, 10);
    return end != p + 1 ? ticks : 0;
}

}  // namespace

uint32_t current_owner_module() { return static_cast<uint32_t>(getpid()); }

uint32_t current_process_id() { return static_cast<uint32_t>(getpid()); }

uint32_t current_thread_id() {
#if defined(SYS_gettid)
    return static_cast<uint32_t>(syscall(SYS_gettid));
#else
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pthread_self()));
#endif
}

uint64_t current_process_start() { return start_of(getpid()); }

bool process_is_running(int32_t id, uint64_t start) {
    if (id <= 0) return false;  // 0 and negatives address process groups, not a process
    if (kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH) return false;
    if (start == 0) return true;
    const uint64_t now = start_of(static_cast<pid_t>(id));
    // An unreadable start (no /proc) cannot prove the id was reused.
    return now == 0 || now == start;
}

bool process_executable_name(int32_t id, char* name, size_t capacity) {
    if (!name || capacity == 0) return false;
    name[0] = '\0';
    if (id <= 0) return false;
    char path[64];
    char target[4096];
    std::snprintf(path, sizeof path, "/proc/%d/exe", static_cast<int>(id));
    ssize_t got = readlink(path, target, sizeof target - 1);
    if (got > 0) {
        target[got] = '\0';
        // An executable replaced while it runs reads "/path/name (deleted)".
        static constexpr char kDeleted[] = " (deleted)";
        const size_t length = static_cast<size_t>(got), tail = sizeof kDeleted - 1;
        if (length > tail && std::strcmp(target + length - tail, kDeleted) == 0) target[length - tail] = '\0';
    } else {
        // Another user's process: its exe link is closed to us, its command name is not.
        std::snprintf(path, sizeof path, "/proc/%d/comm", static_cast<int>(id));
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        do got = read(fd, target, sizeof target - 1);
        while (got < 0 && errno == EINTR);
        close(fd);
        if (got <= 0) return false;
        target[got] = '\0';
        if (char* end = std::strchr(target, '\n')) *end = '\0';
    }
    const char* slash = std::strrchr(target, '/');
    const char* base = slash ? slash + 1 : target;
    if (*base == '\0') return false;
    std::snprintf(name, capacity, "%s", base);
    return true;
}

int32_t unnamed_owner_process(uint32_t, uint32_t owner_module) { return static_cast<int32_t>(owner_module); }

bool unnamed_owner_gone(uint32_t, uint32_t owner_module) {
    return !process_is_running(static_cast<int32_t>(owner_module), 0);
}

}  // namespace imvela::platform
