// The settings tree in the registry of the current user.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

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

namespace {

// The staging key of `path`: beside it, with a name of this process and moment.
std::string staging_path(const char* path) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".new.%lu.%lu", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()));
    return std::string(path) + suffix;
}

// The last component of a key path, as a wide string.
std::wstring last_component_w(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    const char* name = slash ? slash + 1 : path;
    const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// Staging keys that are open: their handle and the path they are to become.
struct Staging {
    HKEY key;
    std::string path;
    std::string staging;
};

std::mutex& staging_lock() {
    static std::mutex lock;
    return lock;
}

std::vector<Staging*>& staging_keys() {
    static std::vector<Staging*> keys;
    return keys;
}

bool remember_staging(Staging* staging) {
    std::lock_guard<std::mutex> guard(staging_lock());
    try {
        staging_keys().push_back(staging);
        return true;
    } catch (...) {
        return false;
    }
}

Staging* take_staging(HKEY key) {
    std::lock_guard<std::mutex> guard(staging_lock());
    std::vector<Staging*>& keys = staging_keys();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i]->key != key) continue;
        Staging* found = keys[i];
        keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(i));
        return found;
    }
    return nullptr;
}

}  // namespace

SettingsKey* create_staging_settings_key(const char* path) {
    if (!path || !*path) return nullptr;
    Staging* staging = new (std::nothrow) Staging{nullptr, path, staging_path(path)};
    if (!staging) return nullptr;
    SettingsKey* made = create_settings_key(nullptr, staging->staging.c_str());
    if (!made) {
        delete staging;
        return nullptr;
    }
    staging->key = reinterpret_cast<HKEY>(made);
    if (!remember_staging(staging)) {
        RegCloseKey(staging->key);
        RegDeleteKeyA(HKEY_CURRENT_USER, staging->staging.c_str());
        delete staging;
        return nullptr;
    }
    return reinterpret_cast<SettingsKey*>(staging->key);
}

bool finish_staging_settings_key(SettingsKey* key, bool publish) {
    if (!key) return false;
    Staging* staging = take_staging(to_hkey(key));
    if (!staging) {
        close_settings_key(key);
        return false;
    }
    // Renaming fails when a key of the new name exists: another process was first.
    HKEY existing = nullptr;
    bool published = false;
    if (!publish) {
    } else if (RegOpenKeyExA(HKEY_CURRENT_USER, staging->path.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
    } else {
        published = RegRenameKey(staging->key, nullptr, last_component_w(staging->path.c_str()).c_str()) ==
                    ERROR_SUCCESS;
    }
    if (!published) RegDeleteTreeA(staging->key, nullptr);
    RegCloseKey(staging->key);
    if (!published) RegDeleteKeyA(HKEY_CURRENT_USER, staging->staging.c_str());
    delete staging;
    return published;
}

}  // namespace imvela::platform
