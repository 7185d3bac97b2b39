#pragma once
// Interrupts from the user or the system (Ctrl-C, a termination request; on Windows the
// console's Ctrl-C and Ctrl-Break) while a long command runs: caught and noted instead of
// ending the process, so the command can finish what it writes and say so. One at a time.
class CaughtInterrupts {
public:
    CaughtInterrupts();   // catches them from now on
    ~CaughtInterrupts();  // the handling from before again
    CaughtInterrupts(const CaughtInterrupts&) = delete;
    CaughtInterrupts& operator=(const CaughtInterrupts&) = delete;

    // The name of the first interrupt caught ("SIGINT", "Ctrl-C" ...), or nullptr.
    const char* caught() const;
};
