#include <windows.h>

#include <cstdint>

#include "platform/process_identity.h"

namespace imvela::platform {

namespace {

constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION

uint64_t creation_time(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return static_cast<uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

}  // namespace

uint32_t current_owner_module() {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
}

uint32_t current_process_id() { return GetCurrentProcessId(); }

uint32_t current_thread_id() { return GetCurrentThreadId(); }

uint64_t current_process_start() { return creation_time(GetCurrentProcess()); }

bool process_is_running(int32_t id, uint64_t start) {
    if (id <= 0) return false;
    HANDLE process = OpenProcess(kQueryLimited, FALSE, static_cast<DWORD>(id));
    if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(id));
    // No such process; any other refusal (another user's process) cannot prove it gone.
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    if (running && start != 0) {
        const uint64_t created = creation_time(process);
        running = created == 0 || created == start;
    }
    CloseHandle(process);
    return running;
}

bool process_executable_name(int32_t id, char* name, size_t capacity) {
    if (!name || capacity == 0) return false;
    name[0] = '\0';
    if (id <= 0) return false;
    HANDLE process = OpenProcess(kQueryLimited, FALSE, static_cast<DWORD>(id));
    if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process) return false;
    wchar_t path[MAX_PATH * 4];
    DWORD length = sizeof path / sizeof path[0];
    const bool named = QueryFullProcessImageNameW(process, 0, path, &length) != 0;
    CloseHandle(process);
    if (!named || length == 0) return false;
    path[length] = L'\0';
    const wchar_t* base = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') base = p + 1;
    const int written =
        WideCharToMultiByte(CP_UTF8, 0, base, -1, name, static_cast<int>(capacity), nullptr, nullptr);
    if (written <= 0) {
        name[0] = '\0';
        return false;
    }
    return true;
}

int32_t unnamed_owner_process(uint32_t owner, uint32_t) {
    DWORD id = 0;
    if (!GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)), &id)) return 0;
    return static_cast<int32_t>(id);
}

bool unnamed_owner_gone(uint32_t owner, uint32_t) {
    return !IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)));
}

}  // namespace imvela::platform
