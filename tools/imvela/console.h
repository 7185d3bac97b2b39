#pragma once
// The terminal the tool writes to, and what the process has used.

// Standard output is a terminal (a status line may be rewritten in place).
bool output_is_terminal();
// CPU time of the whole process so far, in seconds (all threads, user and system).
double process_cpu_seconds();
