#include <windows.h>

#include "support/child_process.h"

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = "\"" + program + "\"";
    for (const std::string& a : arguments) command += " \"" + a + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    id_ = reinterpret_cast<intptr_t>(process.hProcess);
}

ChildProcess::~ChildProcess() {
    if (!id_) return;
    const HANDLE process = reinterpret_cast<HANDLE>(id_);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}
