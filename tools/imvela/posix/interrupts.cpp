#include "interrupts.h"

#include <signal.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t first_caught = 0;
struct sigaction before[3];

void on_signal(int number) {
    if (first_caught == 0) first_caught = number;
}

}  // namespace

CaughtInterrupts::CaughtInterrupts() {
    first_caught = 0;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &before[i]);
}

CaughtInterrupts::~CaughtInterrupts() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &before[i], nullptr);
}

const char* CaughtInterrupts::caught() const {
    switch (first_caught) {
    case 0: return nullptr;
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
    }
}
