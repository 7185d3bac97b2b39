#pragma once
// Where the library keeps a camera's stored settings, as the user finds them: a folder on
// POSIX, a registry key on Windows. Both honour IMVELA_SETTINGS_ROOT.
#include <cstdint>
#include <string>

std::string settings_location(int32_t number);
