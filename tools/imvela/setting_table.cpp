#include "setting_table.h"

#include <cstring>

namespace {

// The exposure a camera has before anything was stored, in lines.
constexpr int32_t kDefaultExposureLines = 637;

// Filter values 1 to 28, then the values with exports of their own. Stored: filter values
// and the analog values (gain, exposure, mirrors, iris); the rest apply to the handle only.
const Setting kSettings[] = {
    {"brightness", SettingKind::filter, 1, 0, "-255 to 255"},
    {"contrast", SettingKind::filter, 2, 0, "-127 to 127"},
    {"hue", SettingKind::filter, 3, 0, "-360 to 360"},
    {"saturation", SettingKind::filter, 4, 0, "-255 to 255"},
    {"sharpness", SettingKind::filter, 5, 0, "0 to 30"},
    {"bayer-gain-rgb", SettingKind::filter, 6, kNoDefault, "red | green << 8 | blue << 16"},
    {"bayer-gain-red", SettingKind::filter, 7, 100, "0 to 400 (100 = 1.0)"},
    {"bayer-gain-green", SettingKind::filter, 8, 100, "0 to 400"},
    {"bayer-gain-blue", SettingKind::filter, 9, 100, "0 to 400"},
    {"bayer-gain-auto", SettingKind::filter, 10, 0, "1: white balance on every frame"},
    {"gamma", SettingKind::filter, 11, 100, "0 to 200 (100 = linear)"},
    {"bayer-mode", SettingKind::filter, 12, 3, "0 to 3"},
    {"global-gain", SettingKind::filter, 13, 0, "gain index 0 to 11"},
    {"color-gain-red", SettingKind::filter, 14, kNoDefault, "0 only"},
    {"color-gain-green1", SettingKind::filter, 15, kNoDefault, "0 only"},
    {"color-gain-green2", SettingKind::filter, 16, kNoDefault, "0 only"},
    {"color-gain-blue", SettingKind::filter, 17, kNoDefault, "0 only"},
    {"exposure", SettingKind::filter, 18, kDefaultExposureLines, "lines, 1 to 32767"},
    {"gray-mode", SettingKind::filter, 19, 0, "0 to 2"},
    {"gray-gain-r", SettingKind::filter, 20, 128, "0 to 255"},
    {"gray-gain-g1", SettingKind::filter, 21, 128, "0 to 255"},
    {"gray-gain-g2", SettingKind::filter, 22, 128, "0 to 255"},
    {"gray-gain-b", SettingKind::filter, 23, 128, "0 to 255"},
    {"gray-offset-r", SettingKind::filter, 24, 0, "-255 to 255"},
    {"gray-offset-g1", SettingKind::filter, 25, 0, "-255 to 255"},
    {"gray-offset-g2", SettingKind::filter, 26, 0, "-255 to 255"},
    {"gray-offset-b", SettingKind::filter, 27, 0, "-255 to 255"},
    {"gray-balance-auto", SettingKind::filter, 28, 0, "1: measure the gray gains once"},
    {"exposure-us", SettingKind::exposure_us, 0, kNoDefault, "exposure in microseconds"},
    {"mirror-h", SettingKind::mirror_h, 0, 0, "0 or 1"},
    {"mirror-v", SettingKind::mirror_v, 0, 0, "0 or 1"},
    {"auto-iris", SettingKind::auto_iris, 0, 0, "0 off, 1 automatic exposure, 2 automatic gain"},
    {"color-mode", SettingKind::color_mode, 0, kNoDefault, "8 16 24 32 48 64 bits (this handle only)"},
    {"capture-window", SettingKind::capture_window, 0, kNoDefault,
     "TOTAL_W H_START WIDTH TOTAL_H V_START HEIGHT (this handle only)"},
    {"wait-time", SettingKind::wait_time, 0, kNoDefault, "milliseconds between frames (this handle only)"},
    {"sub-sample", SettingKind::sub_sample, 0, kNoDefault, "sub-sampling mode (this handle only)"},
};

}  // namespace

const Setting* setting_table(size_t* count) {
    *count = sizeof(kSettings) / sizeof(kSettings[0]);
    return kSettings;
}

const Setting* find_setting_by_name(const char* name) {
    for (const Setting& s : kSettings)
        if (std::strcmp(name, s.name) == 0) return &s;
    return nullptr;
}

size_t setting_value_count(const Setting& s) { return s.kind == SettingKind::capture_window ? 6 : 1; }

bool setting_is_handle_only(const Setting& s) {
    return s.kind == SettingKind::color_mode || s.kind == SettingKind::capture_window ||
           s.kind == SettingKind::wait_time || s.kind == SettingKind::sub_sample;
}
