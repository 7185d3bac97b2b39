#include "capture_window_option.h"

#include <sstream>

#include "ImvelaSdk.h"
#include "command_line.h"
#include "tool_camera.h"

std::string window_problem(long width, long height, long x, long y) {
    if (width >= 4 && width <= kSensorWidth && height >= 1 && height <= kSensorHeight && x >= 0 && y >= 0 &&
        x + width <= kSensorWidth && y + height <= kSensorHeight)
        return "";
    return "a " + std::to_string(width) + " x " + std::to_string(height) + " window at (" + std::to_string(x) + ", " +
           std::to_string(y) + ") is not inside the " + std::to_string(kSensorWidth) + " x " +
           std::to_string(kSensorHeight) + " sensor: width 4 to 1292, height 1 to 1040, X and Y from 0, X + width " +
           "up to 1292, Y + height up to 1040";
}

bool parse_capture_options(const CommandLine& line, WindowRequest* window) {
    if (line.has("sub-sample")) {
        long mode = -1;
        if (!parse_number(line.option("sub-sample"), &mode) || mode != 0) {
            usage_error(line, "--sub-sample must be 0 (full resolution, the only mode of this camera), not \"" +
                                  line.option("sub-sample") + "\"");
            return false;
        }
    }
    if (!line.has("window")) return true;
    std::istringstream words(line.option("window"));
    long v[4] = {};
    std::string word;
    for (long& value : v)
        if (!(words >> word) || !parse_number(word, &value)) {
            usage_error(line, "--window takes four whole numbers W H X Y, not \"" + line.option("window") + "\"");
            return false;
        }
    const std::string problem = window_problem(v[0], v[1], v[2], v[3]);
    if (!problem.empty()) {
        usage_error(line, "--window: " + problem);
        return false;
    }
    *window = {true, static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]), static_cast<int32_t>(v[2]),
               static_cast<int32_t>(v[3])};
    return true;
}

bool apply_capture_window(ToolCamera& camera, const WindowRequest& w) {
    if (Imvela_SetCaptureWindowEx(camera.handle(), kSensorWidth, w.x, w.width, kSensorHeight, w.y, w.height) == 1)
        return true;
    camera.fail("setting the capture window " + std::to_string(w.width) + " x " + std::to_string(w.height));
    return false;
}
