#include "setting_io.h"

#include "ImvelaSdk.h"

bool write_setting_value(int32_t h, const Setting& s, const int32_t* v) {
    switch (s.kind) {
    case SettingKind::filter: return Imvela_SetFilterValue(h, s.id, v[0]) == 1;
    case SettingKind::exposure_us: return Imvela_SetRealExposureTime(h, v[0]) == 1;
    case SettingKind::mirror_h: return Imvela_SetMirrorH(h, v[0]) == 1;
    case SettingKind::mirror_v: return Imvela_SetMirrorV(h, v[0]) == 1;
    case SettingKind::auto_iris: return Imvela_SetAutoIris(h, v[0]) == 1;
    case SettingKind::color_mode: return Imvela_SetColorMode(h, v[0]) == 1;
    case SettingKind::wait_time: return Imvela_SetWaitTime(h, v[0]) == 1;
    case SettingKind::sub_sample: return Imvela_SetSubSample(h, v[0]) == 1;
    case SettingKind::capture_window: return Imvela_SetCaptureWindowEx(h, v[0], v[1], v[2], v[3], v[4], v[5]) == 1;
    }
    return false;
}

bool read_setting_value(int32_t h, const Setting& s, int32_t* value) {
    int32_t ok = 1;
    switch (s.kind) {
    case SettingKind::filter: *value = Imvela_GetFilterValue(h, s.id, &ok); break;
    case SettingKind::exposure_us: *value = Imvela_GetRealExposureTime(h, &ok); break;
    case SettingKind::mirror_h: *value = Imvela_GetMirrorH(h); break;
    case SettingKind::mirror_v: *value = Imvela_GetMirrorV(h); break;
    case SettingKind::auto_iris: *value = Imvela_GetAutoIris(h, &ok); break;
    case SettingKind::wait_time: ok = (*value = Imvela_GetWaitTime(h)) >= 0; break;
    case SettingKind::sub_sample: ok = (*value = Imvela_GetSubSample(h)) >= 0; break;
    case SettingKind::color_mode:
    case SettingKind::capture_window: ok = 0; break;
    }
    return ok == 1;
}

bool read_capture_window(int32_t h, int32_t v[6]) {
    return Imvela_GetCaptureWindowEx(h, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) == 1;
}
