#pragma once
// Every adjustable value of a camera by the name the tool gives it: filter values 1 to 28,
// then the values with exports of their own. The tool's get/set/settings commands and the
// GStreamer element's properties both name settings from this one table.
#include <cstddef>
#include <cstdint>

// The sensor's size: capture windows lie inside it.
constexpr int32_t kSensorWidth = 1292;
constexpr int32_t kSensorHeight = 1040;

enum class SettingKind { filter, exposure_us, mirror_h, mirror_v, auto_iris, color_mode, capture_window, wait_time, sub_sample };

struct Setting {
    const char* name;
    SettingKind kind;
    int32_t id;             // the filter-value identifier (SettingKind::filter)
    int32_t default_value;  // what `settings reset` stores; kNoDefault: not reset
    const char* meaning;
};

constexpr int32_t kNoDefault = INT32_MIN;

// The table, in the order the tool lists it.
const Setting* setting_table(size_t* count);
// The setting of that name, or null.
const Setting* find_setting_by_name(const char* name);
// Values it takes: 6 for the capture window (TOTAL_W H_START WIDTH TOTAL_H V_START HEIGHT), else 1.
size_t setting_value_count(const Setting& s);
// Colour mode, capture window, wait time and sub-sampling belong to one handle; the rest
// the library stores for the camera.
bool setting_is_handle_only(const Setting& s);
