#include <cstdio>
#include <string>

#include "environment_value.h"
#include "settings_location.h"

// The registry's HKEY_CURRENT_USER\Software level is the configuration folder; below it one
// folder per key.
std::string settings_location(int32_t number) {
    std::string base = environment_value("XDG_CONFIG_HOME");
    if (base.empty()) base = environment_value("HOME") + "/.config";
    std::string root = environment_value("IMVELA_SETTINGS_ROOT");
    if (root.empty()) root = "Software\\Orvane\\ImvelaM52ZKRSdk";
    if (root.compare(0, 9, "Software\\") == 0) root.erase(0, 9);
    for (char& c : root)
        if (c == '\\') c = '/';
    char camera[16];
    std::snprintf(camera, sizeof camera, "/Camera_%02d", static_cast<int>(number));
    return base + "/" + root + camera;
}
