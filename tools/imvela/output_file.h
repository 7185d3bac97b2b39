#pragma once
// Whether a file can be written where a command is asked to write it, checked before the
// camera is touched so that the system's reason comes first and nothing is said to start.
#include <string>

// Empty when `path` can be written; else "cannot write PATH: REASON" with the system's reason.
std::string output_file_problem(const std::string& path);
