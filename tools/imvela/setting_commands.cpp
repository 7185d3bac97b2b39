// get, set and settings: every adjustable value of a camera by name.
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "settings_location.h"
#include "tool_camera.h"

namespace {

enum class Kind { filter, exposure_us, mirror_h, mirror_v, auto_iris, color_mode, capture_window, wait_time, sub_sample };

struct Setting {
    const char* name;
    Kind kind;
    int32_t id;             // the filter-value identifier (Kind::filter)
    int32_t default_value;  // what `settings reset` stores; kNoDefault: not reset
    const char* meaning;
};

constexpr int32_t kNoDefault = INT32_MIN;
// The exposure a camera has before anything was stored, in lines.
constexpr int32_t kDefaultExposureLines = 637;

// Filter values 1 to 28, then the values with exports of their own. Stored: filter values
// and the analog values (gain, exposure, mirrors, iris); the rest apply to the handle only.
const Setting kSettings[] = {
    {"brightness", Kind::filter, 1, 0, "-255 to 255"},
    {"contrast", Kind::filter, 2, 0, "-127 to 127"},
    {"hue", Kind::filter, 3, 0, "-360 to 360"},
    {"saturation", Kind::filter, 4, 0, "-255 to 255"},
    {"sharpness", Kind::filter, 5, 0, "0 to 30"},
    {"bayer-gain-rgb", Kind::filter, 6, kNoDefault, "red | green << 8 | blue << 16"},
    {"bayer-gain-red", Kind::filter, 7, 100, "0 to 400 (100 = 1.0)"},
    {"bayer-gain-green", Kind::filter, 8, 100, "0 to 400"},
    {"bayer-gain-blue", Kind::filter, 9, 100, "0 to 400"},
    {"bayer-gain-auto", Kind::filter, 10, 0, "1: white balance on every frame"},
    {"gamma", Kind::filter, 11, 100, "0 to 200 (100 = linear)"},
    {"bayer-mode", Kind::filter, 12, 3, "0 to 3"},
    {"global-gain", Kind::filter, 13, 0, "gain index 0 to 11"},
    {"color-gain-red", Kind::filter, 14, kNoDefault, "0 only"},
    {"color-gain-green1", Kind::filter, 15, kNoDefault, "0 only"},
    {"color-gain-green2", Kind::filter, 16, kNoDefault, "0 only"},
    {"color-gain-blue", Kind::filter, 17, kNoDefault, "0 only"},
    {"exposure", Kind::filter, 18, kDefaultExposureLines, "lines, 1 to 32767"},
    {"gray-mode", Kind::filter, 19, 0, "0 to 2"},
    {"gray-gain-r", Kind::filter, 20, 128, "0 to 255"},
    {"gray-gain-g1", Kind::filter, 21, 128, "0 to 255"},
    {"gray-gain-g2", Kind::filter, 22, 128, "0 to 255"},
    {"gray-gain-b", Kind::filter, 23, 128, "0 to 255"},
    {"gray-offset-r", Kind::filter, 24, 0, "-255 to 255"},
    {"gray-offset-g1", Kind::filter, 25, 0, "-255 to 255"},
    {"gray-offset-g2", Kind::filter, 26, 0, "-255 to 255"},
    {"gray-offset-b", Kind::filter, 27, 0, "-255 to 255"},
    {"gray-balance-auto", Kind::filter, 28, 0, "1: measure the gray gains once"},
    {"exposure-us", Kind::exposure_us, 0, kNoDefault, "exposure in microseconds"},
    {"mirror-h", Kind::mirror_h, 0, 0, "0 or 1"},
    {"mirror-v", Kind::mirror_v, 0, 0, "0 or 1"},
    {"auto-iris", Kind::auto_iris, 0, 0, "0 off, 1 automatic exposure, 2 automatic gain"},
    {"color-mode", Kind::color_mode, 0, kNoDefault, "8 16 24 32 48 64 bits (this handle only)"},
    {"capture-window", Kind::capture_window, 0, kNoDefault,
     "TOTAL_W H_START WIDTH TOTAL_H V_START HEIGHT (this handle only)"},
    {"wait-time", Kind::wait_time, 0, kNoDefault, "milliseconds between frames (this handle only)"},
    {"sub-sample", Kind::sub_sample, 0, kNoDefault, "sub-sampling mode (this handle only)"},
};

bool handle_only(const Setting& s) {
    return s.kind == Kind::color_mode || s.kind == Kind::capture_window || s.kind == Kind::wait_time ||
           s.kind == Kind::sub_sample;
}

const Setting* find_setting(const std::string& name) {
    long id = 0;
    const bool numeric = parse_number(name, &id);
    for (const Setting& s : kSettings)
        if (numeric ? (s.kind == Kind::filter && s.id == id) : name == s.name) return &s;
    return nullptr;
}

size_t value_count(const Setting& s) { return s.kind == Kind::capture_window ? 6 : 1; }

// The value as text; false (and the camera's error) when the library would not say.
bool read_setting(ToolCamera& camera, const Setting& s, std::string* text) {
    const int32_t h = camera.handle();
    int32_t ok = 1, value = 0;
    switch (s.kind) {
    case Kind::filter: value = Imvela_GetFilterValue(h, s.id, &ok); break;
    case Kind::exposure_us: value = Imvela_GetRealExposureTime(h, &ok); break;
    case Kind::mirror_h: value = Imvela_GetMirrorH(h); break;
    case Kind::mirror_v: value = Imvela_GetMirrorV(h); break;
    case Kind::auto_iris: value = Imvela_GetAutoIris(h, &ok); break;
    case Kind::color_mode:
        value = camera.bits();
        ok = value != 0;
        break;
    case Kind::wait_time:
        value = Imvela_GetWaitTime(h);
        ok = value >= 0;
        break;
    case Kind::sub_sample:
        value = Imvela_GetSubSample(h);
        ok = value >= 0;
        break;
    case Kind::capture_window: {
        int32_t v[6] = {};
        ok = Imvela_GetCaptureWindowEx(h, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
        *text = "";
        for (int32_t x : v) *text += (text->empty() ? "" : " ") + std::to_string(x);
        return ok == 1;
    }
    }
    *text = std::to_string(value);
    return ok == 1;
}

bool write_setting(ToolCamera& camera, const Setting& s, const int32_t* v) {
    const int32_t h = camera.handle();
    switch (s.kind) {
    case Kind::filter: return Imvela_SetFilterValue(h, s.id, v[0]) == 1;
    case Kind::exposure_us: return Imvela_SetRealExposureTime(h, v[0]) == 1;
    case Kind::mirror_h: return Imvela_SetMirrorH(h, v[0]) == 1;
    case Kind::mirror_v: return Imvela_SetMirrorV(h, v[0]) == 1;
    case Kind::auto_iris: return Imvela_SetAutoIris(h, v[0]) == 1;
    case Kind::color_mode: return camera.use_mode(v[0]);
    case Kind::wait_time: return Imvela_SetWaitTime(h, v[0]) == 1;
    case Kind::sub_sample: return Imvela_SetSubSample(h, v[0]) == 1;
    case Kind::capture_window: return Imvela_SetCaptureWindowEx(h, v[0], v[1], v[2], v[3], v[4], v[5]) == 1;
    }
    return false;
}

// Prints "name = value" for each; the number that could not be read.
int print_settings(ToolCamera& camera, const std::vector<const Setting*>& settings) {
    int failed = 0;
    for (const Setting* s : settings) {
        std::string text;
        if (read_setting(camera, *s, &text)) {
            std::printf("%-18s = %-24s %s\n", s->name, text.c_str(), s->meaning);
        } else {
            camera.fail(std::string("reading ") + s->name);
            ++failed;
        }
    }
    return failed;
}

std::vector<const Setting*> all_settings(bool stored_only) {
    std::vector<const Setting*> list;
    for (const Setting& s : kSettings)
        if (!stored_only || !handle_only(s)) list.push_back(&s);
    return list;
}

void list_names() {
    std::fprintf(stderr, "settings:");
    for (const Setting& s : kSettings) std::fprintf(stderr, " %s", s.name);
    std::fprintf(stderr, "\n");
}

}  // namespace

int command_get(const CommandLine& line) {
    std::vector<const Setting*> chosen;
    for (const std::string& name : line.words) {
        const Setting* s = find_setting(name);
        if (!s) {
            list_names();
            return usage_error(line, "no setting \"" + name + "\"");
        }
        chosen.push_back(s);
    }
    if (chosen.empty()) chosen = all_settings(false);
    ToolCamera camera;
    if (!camera.open(line.camera())) return kFailed;
    return print_settings(camera, chosen) == 0 ? kSucceeded : kFailed;
}

int command_set(const CommandLine& line) {
    struct Change {
        const Setting* setting;
        int32_t values[6];
    };
    std::vector<Change> changes;
    for (size_t i = 0; i < line.words.size();) {
        const Setting* s = find_setting(line.words[i]);
        if (!s) {
            list_names();
            return usage_error(line, "no setting \"" + line.words[i] + "\"");
        }
        if (i + value_count(*s) >= line.words.size())
            return usage_error(line, std::string(s->name) + " needs " + s->meaning);
        Change change{s, {}};
        for (size_t k = 0; k < value_count(*s); ++k) {
            long v = 0;
            if (!parse_bounded(line, line.words[i + 1 + k], s->name, INT32_MIN, INT32_MAX, &v)) return kUsageError;
            change.values[k] = static_cast<int32_t>(v);
        }
        changes.push_back(change);
        i += 1 + value_count(*s);
    }
    ToolCamera camera;
    if (!camera.open(line.camera())) return kFailed;
    for (const Change& c : changes) {
        if (!write_setting(camera, *c.setting, c.values))
            return camera.fail(std::string("setting ") + c.setting->name + " (" + c.setting->meaning + ")");
        std::string now;
        read_setting(camera, *c.setting, &now);
        std::printf("%s = %s%s\n", c.setting->name, now.c_str(),
                    handle_only(*c.setting) ? "  (applies to this handle only; not stored)" : "");
    }
    camera.take_errors();
    return camera.release() ? kSucceeded : kFailed;
}

int command_settings(const CommandLine& line) {
    const std::string& verb = line.words[0];
    if (verb != "show" && verb != "reset") return usage_error(line, "show or reset, not \"" + verb + "\"");
    ToolCamera camera;
    if (!camera.open(line.camera())) return kFailed;
    std::printf("camera %d settings store: %s\n", camera.number(), settings_location(camera.number()).c_str());
    if (verb == "show") {
        const int failed = print_settings(camera, all_settings(true));
        std::printf("video format (colour mode and capture window) of a new handle:\n");
        std::vector<const Setting*> format;
        for (const Setting& s : kSettings)
            if (handle_only(s)) format.push_back(&s);
        return print_settings(camera, format) + failed == 0 ? kSucceeded : kFailed;
    }
    for (const Setting& s : kSettings) {
        if (s.default_value == kNoDefault) continue;
        if (!write_setting(camera, s, &s.default_value)) return camera.fail(std::string("resetting ") + s.name);
    }
    if (!camera.release()) return kFailed;
    std::printf("image, gray and analog values reset to the defaults and stored\n");
    return kSucceeded;
}
