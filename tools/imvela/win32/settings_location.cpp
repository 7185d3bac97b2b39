#include <cstdio>
#include <string>

#include "environment_value.h"
#include "settings_location.h"

std::string settings_location(int32_t number) {
    std::string root = environment_value("IMVELA_SETTINGS_ROOT");
    if (root.empty()) root = "Software\\Orvane\\ImvelaM52ZKRSdk";
    char camera[16];
    std::snprintf(camera, sizeof camera, "\\Camera_%02d", static_cast<int>(number));
    return "HKEY_CURRENT_USER\\" + root + camera;
}
