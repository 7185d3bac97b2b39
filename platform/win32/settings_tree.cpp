// The settings tree in the registry of the current user.
#include <windows.h>

#include "platform/settings_tree.h"
#include "platform/debug_log.h"
#include "platform/system_error.h"

namespace imvela::platform {

namespace {

HKEY to_hkey(SettingsKey* key) { return key ? reinterpret_cast<HKEY>(key) : HKEY_CURRENT_USER; }

}  // namespace

SettingsKey* open_settings_key(SettingsKey* parent, const char* path) {
    if (!path) return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExA(to_hkey(parent), path, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
    return reinterpret_cast<SettingsKey*>(key);
}

SettingsKey* create_settings_key(SettingsKey* parent, const char* path) {
    if (!path) return nullptr;
    HKEY key = nullptr;
    char empty_class[] = "";
    if (const LONG r = RegCreateKeyExA(to_hkey(parent), path, 0, empty_class, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                       nullptr, &key, nullptr);
        r != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(r));
        IMVELA_LOG(settings, error, "registry key %s cannot be made: %s", path, system_error_text().c_str());
        return nullptr;
    }
    return reinterpret_cast<SettingsKey*>(key);
}

bool read_settings_value(SettingsKey* key, const char* name, uint32_t* value) {
    if (!key || !name || !value) return false;
    // Read into a separate place: a value shorter than 4 bytes must not leave a half-new
    // number behind.
    BYTE place[4] = {};
    DWORD size = sizeof place;
    if (RegQueryValueExA(to_hkey(key), name, nullptr, nullptr, place, &size) != ERROR_SUCCESS) return false;
    if (size != sizeof place) return false;
    *value = static_cast<uint32_t>(place[0]) | static_cast<uint32_t>(place[1]) << 8 |
             static_cast<uint32_t>(place[2]) << 16 | static_cast<uint32_t>(place[3]) << 24;
    return true;
}

bool write_settings_value(SettingsKey* key, const char* name, uint32_t value) {
    if (!key || !name) return false;
    const DWORD data = value;
    const LONG r = RegSetValueExA(to_hkey(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (r == ERROR_SUCCESS) return true;
    SetLastError(static_cast<DWORD>(r));
    IMVELA_LOG(settings, error, "registry value %s not stored: %s", name, system_error_text().c_str());
    return false;
}

void close_settings_key(SettingsKey* key) {
    if (key) RegCloseKey(to_hkey(key));
}

}  // namespace imvela::platform
