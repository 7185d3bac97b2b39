#pragma once
// The region a capture command reads out: --window W H X Y and --sub-sample MODE, checked
// against the sensor's rules before the camera is touched.
#include <cstdint>
#include <string>

#include "setting_table.h"

class ToolCamera;
struct CommandLine;

struct WindowRequest {
    bool given = false;
    int32_t width = 0, height = 0, x = 0, y = 0;  // x from the left, y from the top
};

// Empty when a W x H window at (X, Y) can be read out; otherwise what is wrong, with the limits.
std::string window_problem(long width, long height, long x, long y);

// Reads --window and --sub-sample; false after a usage message.
bool parse_capture_options(const CommandLine& line, WindowRequest* window);

// Makes `window` this handle's capture window; false after a message.
bool apply_capture_window(ToolCamera& camera, const WindowRequest& window);
