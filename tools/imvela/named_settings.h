#pragma once
// The camera's settings by the names of imvela get and set, for the commands that work
// with many at once.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class ToolCamera;

// Gamma's exponent for setting v: v/100 up to 100, 1 + (v - 100)/10 above.
double gamma_exponent(int32_t v);
// Brightness's gain factor for setting v: 1 + v/25.5 above 0, 1 - |v|/255 below.
double brightness_factor(int32_t v);

// One single-number setting by name; false when unknown or not readable.
bool read_named_setting(ToolCamera& camera, const std::string& name, int32_t* value);

// Applies every (name, value) or none: the values are checked first, and when the library
// refuses one, those already applied are put back. False with `problem` set for a value the
// tool refuses, or after a message for one the library refused.
bool apply_named_settings(ToolCamera& camera, const std::vector<std::pair<std::string, int32_t>>& values,
                          std::string* problem);
