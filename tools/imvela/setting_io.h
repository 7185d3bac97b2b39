#pragma once
// One setting of the table read or written through the exports.
#include <cstdint>

#include "setting_table.h"

// Gives the camera the setting's value (six for the capture window); false when refused.
bool write_setting_value(int32_t handle, const Setting& s, const int32_t* v);
// The setting's one value; false when the library would not say, and for the colour mode
// (whose getter reports other figures) and the capture window (read_capture_window).
bool read_setting_value(int32_t handle, const Setting& s, int32_t* value);
bool read_capture_window(int32_t handle, int32_t window[6]);
