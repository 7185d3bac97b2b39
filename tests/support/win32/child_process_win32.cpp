#include <windows.h>

#include "support/child_process.h"

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = "\"" + program + "\"";
    for (const std::string& a : arguments) command += " \"" + a + "\"";
    // Its output would mix with the test's.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nowhere;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    if (nowhere != INVALID_HANDLE_VALUE) CloseHandle(nowhere);
    if (!started) return;
    CloseHandle(process.hThread);
    id_ = reinterpret_cast<intptr_t>(process.hProcess);
}

uint32_t ChildProcess::process_number() const { return id_ ? GetProcessId(reinterpret_cast<HANDLE>(id_)) : 0; }

bool ChildProcess::wait_exit(int limit_ms, int* exit_status) {
    const HANDLE process = reinterpret_cast<HANDLE>(id_);
    DWORD code = 0;
    if (!id_ || WaitForSingleObject(process, static_cast<DWORD>(limit_ms)) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code))
        return false;
    *exit_status = static_cast<int>(code);
    return true;
}

ChildProcess::~ChildProcess() {
    if (!id_) return;
    const HANDLE process = reinterpret_cast<HANDLE>(id_);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}
