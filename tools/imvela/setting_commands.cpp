// get, set and settings: every adjustable value of a camera by name.
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "setting_io.h"
#include "setting_table.h"
#include "settings_location.h"
#include "tool_camera.h"

namespace {

using Kind = SettingKind;

std::vector<const Setting*> every_setting() {
    size_t count = 0;
    const Setting* table = setting_table(&count);
    std::vector<const Setting*> list;
    for (size_t i = 0; i < count; ++i) list.push_back(&table[i]);
    return list;
}

const Setting* find_setting(const std::string& name) {
    long id = 0;
    const bool numeric = parse_number(name, &id);
    if (!numeric) return find_setting_by_name(name.c_str());
    size_t count = 0;
    const Setting* table = setting_table(&count);
    for (size_t i = 0; i < count; ++i)
        if (table[i].kind == Kind::filter && table[i].id == id) return &table[i];
    return nullptr;
}

// The value as text; false (and the camera's error) when the library would not say.
bool read_setting(ToolCamera& camera, const Setting& s, std::string* text) {
    int32_t value = 0;
    bool ok = false;
    if (s.kind == Kind::color_mode) {
        ok = (value = camera.bits()) != 0;
    } else if (s.kind == Kind::capture_window) {
        int32_t v[6] = {};
        ok = read_capture_window(camera.handle(), v);
        *text = "";
        for (int32_t x : v) *text += (text->empty() ? "" : " ") + std::to_string(x);
        return ok;
    } else {
        ok = read_setting_value(camera.handle(), s, &value);
    }
    *text = std::to_string(value);
    return ok;
}

bool write_setting(ToolCamera& camera, const Setting& s, const int32_t* v) {
    // The tool's colour mode also sizes its own frame buffers.
    return s.kind == Kind::color_mode ? camera.use_mode(v[0]) : write_setting_value(camera.handle(), s, v);
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
    for (const Setting* s : every_setting())
        if (!stored_only || !setting_is_handle_only(*s)) list.push_back(s);
    return list;
}

void list_names() {
    std::fprintf(stderr, "settings:");
    for (const Setting* s : every_setting()) std::fprintf(stderr, " %s", s->name);
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
        if (i + setting_value_count(*s) >= line.words.size())
            return usage_error(line, std::string(s->name) + " needs " + s->meaning);
        Change change{s, {}};
        for (size_t k = 0; k < setting_value_count(*s); ++k) {
            long v = 0;
            if (!parse_bounded(line, line.words[i + 1 + k], s->name, INT32_MIN, INT32_MAX, &v)) return kUsageError;
            change.values[k] = static_cast<int32_t>(v);
        }
        changes.push_back(change);
        i += 1 + setting_value_count(*s);
    }
    ToolCamera camera;
    if (!camera.open(line.camera())) return kFailed;
    for (const Change& c : changes) {
        if (!write_setting(camera, *c.setting, c.values))
            return camera.fail(std::string("setting ") + c.setting->name + " (" + c.setting->meaning + ")");
        std::string now;
        read_setting(camera, *c.setting, &now);
        std::printf("%s = %s%s\n", c.setting->name, now.c_str(),
                    setting_is_handle_only(*c.setting) ? "  (applies to this handle only; not stored)" : "");
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
        for (const Setting* s : every_setting())
            if (setting_is_handle_only(*s)) format.push_back(s);
        return print_settings(camera, format) + failed == 0 ? kSucceeded : kFailed;
    }
    for (const Setting* s : every_setting()) {
        if (s->default_value == kNoDefault) continue;
        if (!write_setting(camera, *s, &s->default_value)) return camera.fail(std::string("resetting ") + s->name);
    }
    if (!camera.release()) return kFailed;
    std::printf("image, gray and analog values reset to the defaults and stored\n");
    return kSucceeded;
}
