#include <windows.h>

#include <cstring>

#include "environment_value.h"
#include "settings_store.h"

namespace {

std::string key_path(int32_t number, const std::string& key) {
    std::string root = environment_value("IMVELA_SETTINGS_ROOT");
    if (root.empty()) root = "Software\\Orvane\\ImvelaM52ZKRSdk";
    char camera[16];
    wsprintfA(camera, "\\Camera_%02d", static_cast<int>(number));
    return root + camera + (key.empty() ? "" : "\\" + key);
}

}  // namespace

bool read_stored_key(int32_t number, const std::string& key, StoredValues* values) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(number, key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    values->clear();
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD name_length = sizeof name, type = 0, data = 0, size = sizeof data;
        const LONG result = RegEnumValueA(handle, index, name, &name_length, nullptr, &type,
                                          reinterpret_cast<BYTE*>(&data), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS && size == sizeof data) values->emplace_back(name, static_cast<int32_t>(data));
    }
    RegCloseKey(handle);
    return true;
}

bool write_stored_key(int32_t number, const std::string& key, const StoredValues& changes) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path(number, key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    bool written = true;
    for (const auto& change : changes) {
        const DWORD data = static_cast<DWORD>(change.second);
        written = written && RegSetValueExA(handle, change.first.c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
    }
    RegCloseKey(handle);
    return written;
}

bool remove_stored_key(int32_t number, const std::string& key) {
    const LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, key_path(number, key).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}
