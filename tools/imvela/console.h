#pragma once
// The terminal the tool writes to, and what the process has used.

// Standard output is a terminal (a status line may be rewritten in place).
bool output_is_terminal();
// Lets the terminal take the escape sequence that clears the rest of a line (on Windows it
// must be switched on for the console); false when it cannot, and lines are then padded
// with spaces instead.
bool enable_line_clearing();
// CPU time of the whole process so far, in seconds (all threads, user and system).
double process_cpu_seconds();
