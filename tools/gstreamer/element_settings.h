#pragma once
// The camera settings of the element: one property per setting of the tool's table, by the
// tool's names, and the `settings` string of name=value pairs. A value is given to the camera
// only when it was set; the rest stay as the camera keeps them.
#include <glib-object.h>

#include <cstdint>
#include <string>
#include <vector>

#include "setting_table.h"

class ElementSettings {
public:
    ElementSettings();

    // Installs the table's properties with ids from `first_id` on.
    static void install_properties(GObjectClass* klass, guint first_id);
    static bool is_table_property(guint id, guint first_id);

    // Stores a property's value; with a camera open (handle non-zero) a value that applies
    // while frames arrive goes to the camera at once. False and the library's code in *code
    // when the camera refused it.
    bool set_property(guint index, const GValue* value, int32_t handle, int32_t* code);
    // The camera's value when a camera is open and the library says it, else what was set.
    void get_property(guint index, GValue* value, int32_t handle) const;
    // `name=value` pairs separated by spaces or semicolons; the capture window's six numbers
    // separated by commas. False (nothing stored) with the reason in *error.
    bool set_settings_text(const char* text, std::string* error);
    const std::string& settings_text() const { return settings_text_; }

    // Gives every set value to the camera; the first refusal names itself in *failed.
    bool apply(int32_t handle, std::string* failed, int32_t* code) const;

    // The colour mode that was set (bits), 0 when none.
    int32_t color_mode() const;
    // The capture window that was set, false when none.
    bool capture_window(int32_t window[6]) const;

private:
    struct Value {
        const Setting* setting;
        bool set = false;
        int32_t v[6] = {};
    };
    static bool live(const Setting& s);
    static bool parse_values(const Setting& s, const std::string& text, int32_t* v);
    const Value* find(SettingKind kind) const;

    std::vector<Value> values_;
    std::string settings_text_;
};
