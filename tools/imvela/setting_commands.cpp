// get, set and settings: every adjustable value of a camera by name.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "camera_holder.h"
#include "capture_window_option.h"
#include "commands.h"
#include "json_text.h"
#include "named_settings.h"
#include "setting_io.h"
#include "setting_table.h"
#include "settings_file.h"
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

size_t value_count(const Setting& s) { return setting_value_count(s); }
bool handle_only(const Setting& s) { return setting_is_handle_only(s); }

// Up to six values of one setting (six for the capture window, else one).
struct Values {
    int32_t v[6] = {};
};

// The value; false (and the camera's error) when the library would not say.
bool read_setting(ToolCamera& camera, const Setting& s, Values* out) {
    if (s.kind == Kind::color_mode) return (out->v[0] = camera.bits()) != 0;
    if (s.kind == Kind::capture_window) return read_capture_window(camera.handle(), out->v);
    return read_setting_value(camera.handle(), s, &out->v[0]);
}

std::string values_text(const Setting& s, const Values& values) {
    std::string text;
    for (size_t k = 0; k < value_count(s); ++k) text += (k ? " " : "") + std::to_string(values.v[k]);
    return text;
}

bool write_setting(ToolCamera& camera, const Setting& s, const int32_t* v) {
    // The tool's colour mode also sizes its own frame buffers.
    return s.kind == Kind::color_mode ? camera.use_mode(v[0]) : write_setting_value(camera.handle(), s, v);
}

// What the numbers of a setting mean on a wider scale: gamma's exponent, brightness's gain
// factor, as the image pipeline computes them; empty for the others.
std::string scale_text(const Setting& s, int32_t v) {
    if (s.kind != Kind::filter || (s.id != 1 && s.id != 11)) return "";
    char text[48];
    if (s.id == 11)
        std::snprintf(text, sizeof text, "exponent %.2f", gamma_exponent(v));
    else
        std::snprintf(text, sizeof text, "gain factor %.3f", brightness_factor(v));
    return text;
}

// The checks the library leaves out or makes silently (a mirror of 2 taken as 1, a wait time
// refused without an error code); empty when the values may go to the library.
std::string value_problem(const Setting& s, const int32_t* v) {
    switch (s.kind) {
    case Kind::mirror_h:
    case Kind::mirror_v: return v[0] == 0 || v[0] == 1 ? "" : "must be 0 (off) or 1 (on)";
    case Kind::auto_iris: return v[0] >= 0 && v[0] <= 2 ? "" : "must be 0 (off), 1 (automatic exposure) or 2 (automatic gain)";
    case Kind::wait_time: return v[0] >= 0 ? "" : "must be 0 to 2147483647 milliseconds";
    case Kind::sub_sample: return v[0] == 0 ? "" : "must be 0: full resolution is the only mode of this camera";
    case Kind::color_mode:
        for (int32_t bits : kColorModes)
            if (v[0] == bits) return "";
        return "must be one of 8 16 24 32 48 64 (bits)";
    case Kind::capture_window: {
        const std::string problem = window_problem(v[2], v[5], v[1], v[4]);
        return problem.empty() ? "" : "(TOTAL_W H_START WIDTH TOTAL_H V_START HEIGHT): " + problem;
    }
    default: return "";
    }
}

// The exposure times the camera takes now, in microseconds: 1 to 32767 lines of the line time
// its sensor reports. False when the line time cannot be read.
bool exposure_range_us(ToolCamera& camera, long* low, long* high, double* line_us) {
    int32_t ok = 0;
    const int32_t length = Imvela_ReadRegisterEx(camera.handle(), 0x2E, &ok);
    if (!ok) return false;
    // One line lasts (register 0x2E + 6) periods of 12.5 ns; the library converts in
    // milliseconds with the period held in single precision, so the edges are found the same way.
    const double period_ms = static_cast<double>(1.25e-5f) * (length + 6);
    const auto lines = [&](long us) { return std::trunc(static_cast<double>(us) / 1000.0 / period_ms); };
    *line_us = period_ms * 1000.0;
    *low = static_cast<long>(std::floor(*line_us));
    while (lines(*low) < 1) ++*low;
    *high = static_cast<long>(std::floor(32768 * *line_us));
    while (lines(*high) > 32767) --*high;
    return true;
}

// Why the library refused a value, in the setting's own unit.
std::string refusal_text(ToolCamera& camera, const Setting& s, const int32_t* v) {
    std::string text = std::string(s.name) + " " + std::to_string(v[0]) + " was refused: ";
    long low = 0, high = 0;
    double line_us = 0;
    if (s.kind == Kind::exposure_us && exposure_range_us(camera, &low, &high, &line_us)) {
        char range[160];
        std::snprintf(range, sizeof range, "this camera takes %ld to %ld microseconds now (1 to 32767 lines of %.2f us)",
                      low, high, line_us);
        return text + range;
    }
    return text + "the range is " + s.meaning;
}

// Prints "name = value" for each; the number that could not be read.
int print_settings(ToolCamera& camera, const std::vector<const Setting*>& settings) {
    int failed = 0;
    for (const Setting* s : settings) {
        Values values;
        if (read_setting(camera, *s, &values)) {
            const std::string scale = scale_text(*s, values.v[0]);
            std::printf("%-18s = %-24s %s%s%s\n", s->name, values_text(*s, values).c_str(), s->meaning,
                        scale.empty() ? "" : "; now ", scale.c_str());
        } else {
            camera.fail(std::string("reading ") + s->name);
            ++failed;
        }
    }
    return failed;
}

// The settings as one JSON object of name: number (an array for the capture window); false
// after a message when one could not be read.
bool settings_json(ToolCamera& camera, const std::vector<const Setting*>& settings, std::string* json,
                   JsonObject* scales) {
    JsonObject object;
    for (const Setting* s : settings) {
        Values values;
        if (!read_setting(camera, *s, &values)) {
            camera.fail(std::string("reading ") + s->name);
            return false;
        }
        if (value_count(*s) == 1) {
            object.add(s->name, values.v[0]);
        } else {
            std::vector<std::string> items;
            for (size_t k = 0; k < value_count(*s); ++k) items.push_back(std::to_string(values.v[k]));
            object.add_json(s->name, json_array(items));
        }
        if (s->kind == Kind::filter && s->id == 11) scales->add("gamma_exponent", gamma_exponent(values.v[0]), 3);
        if (s->kind == Kind::filter && s->id == 1) scales->add("brightness_factor", brightness_factor(values.v[0]), 4);
    }
    *json = object.text();
    return true;
}

std::vector<const Setting*> all_settings(bool stored_only) {
    std::vector<const Setting*> list;
    for (const Setting* s : every_setting())
        if (!stored_only || !handle_only(*s)) list.push_back(s);
    return list;
}

// The setting names closest to a mistyped one (fewest single-letter edits).
std::string nearest_names(const std::string& name) {
    std::vector<std::pair<size_t, const char*>> scored;
    for (const Setting* s : every_setting()) {
        const std::string other = s->name;
        std::vector<size_t> row(other.size() + 1);
        for (size_t j = 0; j <= other.size(); ++j) row[j] = j;
        for (size_t i = 1; i <= name.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= other.size(); ++j) {
                const size_t above = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (name[i - 1] != other[j - 1])});
                diagonal = above;
            }
        }
        scored.emplace_back(row[other.size()], s->name);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text;
    for (const auto& candidate : scored)
        if (candidate.first == scored.front().first && candidate.first <= 3)
            text += (text.empty() ? "" : " or ") + std::string(candidate.second);
    return text;
}

int unknown_setting(const CommandLine& line, const std::string& name) {
    const std::string nearest = nearest_names(name);
    return usage_error(line, "no setting \"" + name + "\"" + (nearest.empty() ? "" : "; did you mean " + nearest + "?") +
                                 " (imvela get lists every setting)");
}

struct Change {
    const Setting* setting;
    Values values;
};

// Applies every change or, when the library refuses one, puts back those already made and
// returns false after saying which one was refused and why.
bool apply_all_or_none(ToolCamera& camera, const std::vector<Change>& changes) {
    std::vector<Change> before;
    for (const Change& c : changes) {
        // An exposure is put back in lines: microseconds converted back may lose a line.
        Change old{c.setting->kind == Kind::exposure_us ? find_setting("exposure") : c.setting, {}};
        if (!read_setting(camera, *old.setting, &old.values)) {
            camera.fail(std::string("reading ") + c.setting->name + " before changing it");
            return false;
        }
        before.push_back(old);
    }
    for (size_t i = 0; i < changes.size(); ++i) {
        if (write_setting(camera, *changes[i].setting, changes[i].values.v)) continue;
        camera.take_errors();
        for (size_t k = i; k-- > 0;) write_setting(camera, *before[k].setting, before[k].values.v);
        camera.take_errors();
        failure(refusal_text(camera, *changes[i].setting, changes[i].values.v) + "; nothing was changed");
        return false;
    }
    return true;
}

// Reads NAME VALUE... pairs; kSucceeded, or kUsageError after a message.
int parse_changes(const CommandLine& line, const std::vector<std::string>& words, std::vector<Change>* changes) {
    for (size_t i = 0; i < words.size();) {
        const Setting* s = find_setting(words[i]);
        if (!s) return unknown_setting(line, words[i]);
        if (i + value_count(*s) >= words.size())
            return usage_error(line, std::string(s->name) + " needs " + (value_count(*s) > 1 ? "values: " : "a value: ") +
                                         s->meaning);
        Change change{s, {}};
        for (size_t k = 0; k < value_count(*s); ++k) {
            const std::string& text = words[i + 1 + k];
            long v = 0;
            if (!parse_number(text, &v))
                return usage_error(line, std::string(s->name) + ": \"" + text + "\" is not a whole number (" + s->meaning + ")");
            if (v < INT32_MIN || v > INT32_MAX)
                return usage_error(line, std::string(s->name) + " " + text + " is out of range (" + s->meaning + ")");
            change.values.v[k] = static_cast<int32_t>(v);
        }
        const std::string problem = value_problem(*s, change.values.v);
        if (!problem.empty())
            return usage_error(line, std::string(s->name) + " " + problem + (value_count(*s) == 1 ? ", not " + words[i + 1] : ""));
        changes->push_back(change);
        i += 1 + value_count(*s);
    }
    return kSucceeded;
}

int show_settings(const CommandLine& line, ToolCamera& camera, const std::vector<const Setting*>& settings,
                  const std::vector<const Setting*>& format) {
    if (line.has("json")) {
        std::string values, handle_values;
        JsonObject scales;
        if (!settings_json(camera, settings, &values, &scales) ||
            (!format.empty() && !settings_json(camera, format, &handle_values, &scales)))
            return kFailed;
        JsonObject out;
        out.add("camera", camera.number());
        if (line.command->run == command_settings) out.add("store", settings_location(camera.number()));
        out.add_json("settings", values);
        if (!format.empty()) out.add_json("handle", handle_values);
        out.add_json("scales", scales.text());
        out.print();
        return kSucceeded;
    }
    int failed = print_settings(camera, settings);
    if (!format.empty()) {
        std::printf("video format (colour mode and capture window) of a new handle:\n");
        failed += print_settings(camera, format);
    }
    return failed == 0 ? kSucceeded : kFailed;
}

}  // namespace

double gamma_exponent(int32_t v) { return v > 100 ? (v - 100) / 10.0 + 1.0 : v / 100.0; }

double brightness_factor(int32_t v) {
    return v > 0 ? 1.0 + v * 0.0392156862745098 : v < 0 ? 1.0 - -static_cast<double>(v) * 0.00392156862745098 : 1.0;
}

bool read_named_setting(ToolCamera& camera, const std::string& name, int32_t* value) {
    const Setting* s = find_setting(name);
    Values values;
    if (!s || value_count(*s) != 1 || !read_setting(camera, *s, &values)) return false;
    *value = values.v[0];
    return true;
}

bool apply_named_settings(ToolCamera& camera, const std::vector<std::pair<std::string, int32_t>>& values,
                          std::string* problem) {
    std::vector<Change> changes;
    for (const auto& item : values) {
        const Setting* s = find_setting(item.first);
        if (!s || value_count(*s) != 1 || handle_only(*s)) {
            *problem = "no stored setting \"" + item.first + "\"";
            return false;
        }
        Change change{s, {}};
        change.values.v[0] = item.second;
        if (const std::string why = value_problem(*s, change.values.v); !why.empty()) {
            *problem = item.first + " " + why + ", not " + std::to_string(item.second);
            return false;
        }
        changes.push_back(change);
    }
    return apply_all_or_none(camera, changes);
}

int command_get(const CommandLine& line) {
    std::vector<const Setting*> chosen;
    for (const std::string& name : line.words) {
        const Setting* s = find_setting(name);
        if (!s) return unknown_setting(line, name);
        chosen.push_back(s);
    }
    if (chosen.empty()) chosen = all_settings(false);
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    return show_settings(line, camera, chosen, {});
}

int command_set(const CommandLine& line) {
    std::vector<Change> changes;
    if (const int status = parse_changes(line, line.words, &changes); status != kSucceeded) return status;
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    if (!apply_all_or_none(camera, changes)) return kFailed;
    for (const Change& c : changes) {
        Values now;
        read_setting(camera, *c.setting, &now);
        const std::string scale = scale_text(*c.setting, now.v[0]);
        std::printf("%s = %s%s%s%s\n", c.setting->name, values_text(*c.setting, now).c_str(),
                    scale.empty() ? "" : "  (", scale.c_str(), scale.empty() ? "" : ")");
        if (handle_only(*c.setting))
            std::printf("  (%s belongs to this run's handle and ends with it: give capture commands --mode or "
                        "--window instead)\n", c.setting->name);
    }
    camera.take_errors();
    return camera.release() ? kSucceeded : kFailed;
}

int command_settings(const CommandLine& line) {
    const std::string& verb = line.words[0];
    const bool with_file = verb == "export" || verb == "import";
    if (!with_file && verb != "show" && verb != "reset")
        return usage_error(line, "show, reset, export FILE or import FILE, not \"" + verb + "\"");
    if (with_file != (line.words.size() == 2))
        return usage_error(line, with_file ? verb + " needs a FILE" : verb + " takes no FILE");
    if (verb == "export") return export_settings(line);
    if (verb == "import") return import_settings(line);
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    if (verb == "show") {
        if (!line.has("json"))
            std::printf("camera %d settings store: %s\n", camera.number(), settings_location(camera.number()).c_str());
        std::vector<const Setting*> format;
        for (const Setting* s : every_setting())
            if (handle_only(*s)) format.push_back(s);
        return show_settings(line, camera, all_settings(true), format);
    }
    for (const Setting* s : every_setting()) {
        if (s->default_value == kNoDefault) continue;
        if (!write_setting(camera, *s, &s->default_value)) return camera.fail(std::string("resetting ") + s->name);
    }
    if (!camera.release()) return kFailed;
    if (!reset_video_format(camera.number())) return kFailed;
    std::printf("image, gray and analog values, video format and size list reset to the defaults and stored\n");
    return kSucceeded;
}
