#include "interrupts.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr DWORD kNone = 0xFFFFFFFFu;
std::atomic<DWORD> first_caught{kNone};

// Runs on a thread the console starts for the event; the command's loop sees the note.
BOOL WINAPI on_control(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    DWORD none = kNone;
    first_caught.compare_exchange_strong(none, event);
    return TRUE;
}

}  // namespace

CaughtInterrupts::CaughtInterrupts() {
    first_caught.store(kNone);
    SetConsoleCtrlHandler(on_control, TRUE);
}

CaughtInterrupts::~CaughtInterrupts() { SetConsoleCtrlHandler(on_control, FALSE); }

const char* CaughtInterrupts::caught() const {
    switch (first_caught.load()) {
    case kNone: return nullptr;
    case CTRL_C_EVENT: return "Ctrl-C";
    default: return "Ctrl-Break";
    }
}
