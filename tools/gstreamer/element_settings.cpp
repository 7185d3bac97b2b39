#include "element_settings.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "ImvelaSdk.h"
#include "setting_io.h"

namespace {

size_t table_size() {
    size_t count = 0;
    setting_table(&count);
    return count;
}

std::string window_text(const int32_t* v) {
    std::string text;
    for (int i = 0; i < 6; ++i) text += (i ? " " : "") + std::to_string(v[i]);
    return text;
}

bool parse_int(const std::string& text, int32_t* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

}  // namespace

ElementSettings::ElementSettings() {
    size_t count = 0;
    const Setting* table = setting_table(&count);
    for (size_t i = 0; i < count; ++i) values_.push_back(Value{&table[i]});
}

void ElementSettings::install_properties(GObjectClass* klass, guint first_id) {
    size_t count = 0;
    const Setting* table = setting_table(&count);
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    for (size_t i = 0; i < count; ++i) {
        const Setting& s = table[i];
        const std::string text = std::string(s.meaning) +
                                 (setting_is_handle_only(s) ? "; set before the pipeline starts"
                                                            : "; the camera's stored value unless set");
        // The strings live as long as the class: the table's own, and these once per program.
        const char* blurb = g_intern_string(text.c_str());
        GParamSpec* spec = nullptr;
        if (s.kind == SettingKind::mirror_h || s.kind == SettingKind::mirror_v) {
            spec = g_param_spec_boolean(s.name, s.name, blurb, FALSE, flags);
        } else if (s.kind == SettingKind::capture_window) {
            spec = g_param_spec_string(s.name, s.name,
                                       g_intern_string((text + "; empty: the size negotiated, centred on the sensor").c_str()),
                                       "", flags);
        } else if (s.kind == SettingKind::color_mode) {
            spec = g_param_spec_int(s.name, s.name,
                                    "8 16 24 32 48 64 bits; 0: negotiated (the camera's own mode unless downstream "
                                    "asks for another)",
                                    0, 64, 0, flags);
        } else {
            const int32_t fallback = s.default_value == kNoDefault ? 0 : s.default_value;
            spec = g_param_spec_int(s.name, s.name, blurb, G_MININT, G_MAXINT, fallback, flags);
        }
        g_object_class_install_property(klass, first_id + static_cast<guint>(i), spec);
    }
}

bool ElementSettings::is_table_property(guint id, guint first_id) { return id >= first_id && id < first_id + table_size(); }

bool ElementSettings::live(const Setting& s) {
    // Colour mode, window and sub-sampling shape the frames: they wait for the next start.
    return s.kind != SettingKind::color_mode && s.kind != SettingKind::capture_window &&
           s.kind != SettingKind::sub_sample;
}

bool ElementSettings::parse_values(const Setting& s, const std::string& text, int32_t* v) {
    if (s.kind != SettingKind::capture_window) return parse_int(text, v);
    std::stringstream in(text);
    std::string part;
    int n = 0;
    while (std::getline(in, part, text.find(',') != std::string::npos ? ',' : ' '))
        if (!part.empty() && (n >= 6 || !parse_int(part, &v[n++]))) return false;
    return n == 6;
}

bool ElementSettings::set_property(guint index, const GValue* value, int32_t handle, int32_t* code) {
    Value& slot = values_[index];
    const Setting& s = *slot.setting;
    int32_t v[6] = {};
    if (G_VALUE_HOLDS_BOOLEAN(value)) {
        v[0] = g_value_get_boolean(value) ? 1 : 0;
    } else if (G_VALUE_HOLDS_STRING(value)) {
        const char* text = g_value_get_string(value);
        if (!text || !*text) {
            slot.set = false;
            return true;
        }
        if (!parse_values(s, text, v)) {
            *code = ERR_ARGUMENT;
            return false;
        }
    } else {
        v[0] = g_value_get_int(value);
        if (s.kind == SettingKind::color_mode && v[0] == 0) {
            slot.set = false;
            return true;
        }
    }
    if (handle != 0 && live(s) && !write_setting_value(handle, s, v)) {
        *code = Imvela_GetLastError(handle);
        return false;
    }
    slot.set = true;
    std::copy(v, v + 6, slot.v);
    return true;
}

void ElementSettings::get_property(guint index, GValue* value, int32_t handle) const {
    const Value& slot = values_[index];
    const Setting& s = *slot.setting;
    int32_t v[6];
    std::copy(slot.v, slot.v + 6, v);
    if (!slot.set && s.default_value != kNoDefault) v[0] = s.default_value;
    int32_t read = 0;
    if (handle != 0 && live(s) && read_setting_value(handle, s, &read)) v[0] = read;
    if (G_VALUE_HOLDS_BOOLEAN(value))
        g_value_set_boolean(value, v[0] != 0);
    else if (G_VALUE_HOLDS_STRING(value))
        g_value_set_string(value, slot.set ? window_text(v).c_str() : "");
    else
        g_value_set_int(value, slot.set || s.kind != SettingKind::color_mode ? v[0] : 0);
}

bool ElementSettings::set_settings_text(const char* text, std::string* error) {
    std::vector<Value> changed = values_;
    std::string all = text ? text : "";
    for (char& c : all)
        if (c == ';' || c == '\t' || c == '\n') c = ' ';
    std::stringstream in(all);
    std::string pair;
    while (in >> pair) {
        const size_t eq = pair.find('=');
        const std::string name = pair.substr(0, eq);
        const Setting* s = eq == std::string::npos ? nullptr : find_setting_by_name(name.c_str());
        if (!s) {
            *error = "\"" + pair + "\" is not name=value with a setting's name";
            return false;
        }
        for (Value& slot : changed) {
            if (slot.setting != s) continue;
            if (!parse_values(*s, pair.substr(eq + 1), slot.v)) {
                *error = name + " needs " + s->meaning;
                return false;
            }
            slot.set = true;
        }
    }
    values_ = changed;
    settings_text_ = text ? text : "";
    return true;
}

bool ElementSettings::apply(int32_t handle, std::string* failed, int32_t* code) const {
    for (const Value& slot : values_) {
        if (!slot.set || slot.setting->kind == SettingKind::color_mode) continue;
        if (!write_setting_value(handle, *slot.setting, slot.v)) {
            *failed = slot.setting->name;
            *code = Imvela_GetLastError(handle);
            return false;
        }
    }
    return true;
}

const ElementSettings::Value* ElementSettings::find(SettingKind kind) const {
    for (const Value& slot : values_)
        if (slot.setting->kind == kind && slot.set) return &slot;
    return nullptr;
}

int32_t ElementSettings::color_mode() const {
    const Value* slot = find(SettingKind::color_mode);
    return slot ? slot->v[0] : 0;
}

bool ElementSettings::capture_window(int32_t window[6]) const {
    const Value* slot = find(SettingKind::capture_window);
    if (slot) std::copy(slot->v, slot->v + 6, window);
    return slot != nullptr;
}
