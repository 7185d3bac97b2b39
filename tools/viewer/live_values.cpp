#include "live_values.h"

#include <algorithm>

#include "ImvelaSdk.h"

namespace {

// The filter values by their identifiers; the colour gains of the analog block (14 to 17)
// take nothing but 0 on this model and are left out, as is the packed gain triple (6).
constexpr LiveValue kFilterValues[] = {
    {"Brightness", 1, -255, 255, 5, false},     {"Contrast", 2, -127, 127, 4, false},
    {"Hue", 3, -360, 360, 10, false},           {"Saturation", 4, -255, 255, 5, false},
    {"Sharpness", 5, 0, 30, 1, false},          {"Red gain", 7, 0, 400, 5, false},
    {"Green gain", 8, 0, 400, 5, false},        {"Blue gain", 9, 0, 400, 5, false},
    {"Auto white balance", 10, 0, 1, 1, false}, {"Gamma", 11, 0, 200, 5, false},
    {"Bayer mode", 12, 0, 3, 1, false},         {"Gray mode", 19, 0, 2, 1, false},
    {"Gray gain R", 20, 0, 255, 4, false},      {"Gray gain G1", 21, 0, 255, 4, false},
    {"Gray gain G2", 22, 0, 255, 4, false},     {"Gray gain B", 23, 0, 255, 4, false},
    {"Gray offset R", 24, -255, 255, 4, false}, {"Gray offset G1", 25, -255, 255, 4, false},
    {"Gray offset G2", 26, -255, 255, 4, false}, {"Gray offset B", 27, -255, 255, 4, false},
    {"Auto gray balance", 28, 0, 1, 1, false},
};

}  // namespace

void LiveValues::load(int32_t handle) {
    ImvelaCameraInfo info{};
    info.size = sizeof info;
    if (Imvela_GetCameraInfo(handle, &info) != 1) info = ImvelaCameraInfo{sizeof info, 0, 0, 0, 63, 0, 0, 1, 1000};
    const int32_t gain_step = std::max(1, (info.gain_max - info.gain_min) / 32);
    const int32_t exposure_step = std::max(1, (info.exposure_max - info.exposure_min) / 64);
    values_ = {{"Global gain", 13, info.gain_min, info.gain_max, gain_step, true},
               {"Exposure (lines)", 18, info.exposure_min, info.exposure_max, exposure_step, true},
               {"Mirror H", kMirrorH, 0, 1, 1, true},
               {"Mirror V", kMirrorV, 0, 1, 1, true}};
    values_.insert(values_.end(), std::begin(kFilterValues), std::end(kFilterValues));
    chosen_ = 0;
}

void LiveValues::choose(int index) {
    if (index >= 0 && index < static_cast<int>(values_.size())) chosen_ = index;
}

void LiveValues::choose_first(bool analog) {
    for (size_t i = 0; i < values_.size(); ++i)
        if (values_[i].analog == analog) {
            chosen_ = static_cast<int>(i);
            return;
        }
}

void LiveValues::choose_next(int direction) {
    const int n = static_cast<int>(values_.size());
    if (n) chosen_ = ((chosen_ + direction) % n + n) % n;
}

int32_t LiveValues::read(int32_t handle, const LiveValue& value, bool* ok) {
    int32_t read_ok = 1;
    int32_t v = value.identifier == kMirrorH   ? Imvela_GetMirrorH(handle)
                : value.identifier == kMirrorV ? Imvela_GetMirrorV(handle)
                                               : Imvela_GetFilterValue(handle, value.identifier, &read_ok);
    *ok = read_ok == 1;
    return v;
}

bool LiveValues::change(int32_t handle, int32_t steps, std::string* outcome) {
    if (values_.empty()) return false;
    const LiveValue& value = values_[static_cast<size_t>(chosen_)];
    bool ok = false;
    const int32_t now = read(handle, value, &ok);
    if (!ok) {
        *outcome = std::string(value.name) + " could not be read";
        return false;
    }
    const int32_t next = std::clamp(now + steps * value.step, value.min, value.max);
    const int32_t set = value.identifier == kMirrorH   ? Imvela_SetMirrorH(handle, next)
                        : value.identifier == kMirrorV ? Imvela_SetMirrorV(handle, next)
                                                       : Imvela_SetFilterValue(handle, value.identifier, next);
    if (set != 1) {
        *outcome = std::string(value.name) + " " + std::to_string(next) + " refused";
        return false;
    }
    *outcome = describe(handle, value);
    return true;
}

std::string LiveValues::describe(int32_t handle, const LiveValue& value) {
    bool ok = false;
    const int32_t v = read(handle, value, &ok);
    return std::string(value.name) + " " + (ok ? std::to_string(v) : std::string("?")) + " (" + std::to_string(value.min) +
           ".." + std::to_string(value.max) + ")";
}
