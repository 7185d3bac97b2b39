#include "emulator_variable.h"

#include <sstream>

#include "ImvelaSdk.h"
#include "command_line.h"
#include "environment_value.h"

std::string emulator_variable_problem() {
    const std::string value = environment_value("IMVELA_EMULATOR");
    if (trimmed(value).empty() || trimmed(value) == "none") return "";
    std::istringstream items(value);
    for (std::string item; std::getline(items, item, ',');) {
        const std::string digits = trimmed(item);
        if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(digits) > 31)
            return "IMVELA_EMULATOR=\"" + value +
                   "\" is not understood: give device numbers 0 to 31 separated by commas (\"0\", \"0,2,5\") "
                   "for emulated cameras, \"none\" for the emulator without a camera, or unset it for the camera "
                   "driver";
    }
    return "";
}

// The emulator counts the frames of its cameras and of no other.
const char* camera_driver_name(int number) {
    return ImvelaEmu_FrameCount(number) >= 0 ? "emulated camera" : "camera driver";
}
