#pragma once
// The current user's settings tree: keys holding named 32-bit values, addressed like the
// Windows registry below HKEY_CURRENT_USER. Windows keeps it in the registry; POSIX keeps
// it in files under the user's configuration folder (README.md, "Settings store").
#include <cstdint>

namespace imvela::platform {

// An open key; null means "not open". Close every key that an open or create returned.
struct SettingsKey;

// Opens an existing key for reading. `path` is relative to `parent`, or to
// HKEY_CURRENT_USER when `parent` is null; components are separated by '\'.
// Null when any component does not exist or cannot be opened.
SettingsKey* open_settings_key(SettingsKey* parent, const char* path);

// Opens the key with full access, creating every missing component (non-volatile, no
// class). Null when a component cannot be created.
SettingsKey* create_settings_key(SettingsKey* parent, const char* path);

// Reads a value into a 4-byte place whatever its stored type; false (place untouched) when
// the value is missing or does not hold exactly 4 bytes.
bool read_settings_value(SettingsKey* key, const char* name, uint32_t* value);

// Writes a 4-byte value (REG_DWORD); false when it could not be stored.
bool write_settings_value(SettingsKey* key, const char* name, uint32_t value);

void close_settings_key(SettingsKey* key);

// A new key that readers find either missing or whole: it is filled below a staging key
// that no reader looks at and then put in place in one step.
// Makes the empty staging key for `path` (relative to HKEY_CURRENT_USER); null on failure.
SettingsKey* create_staging_settings_key(const char* path);
// With `publish`, puts the staging key in place as the `path` it was made for, unless a key
// of that name exists by then (another process was first); otherwise, without `publish`, or
// on failure, deletes it. Closes `staging` either way. True when it became the key.
bool finish_staging_settings_key(SettingsKey* staging, bool publish);

// Owns an open key and closes it when it goes out of scope.
class SettingsKeyHandle {
public:
    SettingsKeyHandle() = default;
    explicit SettingsKeyHandle(SettingsKey* key) : key_(key) {}
    ~SettingsKeyHandle() { reset(); }
    SettingsKeyHandle(const SettingsKeyHandle&) = delete;
    SettingsKeyHandle& operator=(const SettingsKeyHandle&) = delete;
    SettingsKeyHandle(SettingsKeyHandle&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    SettingsKeyHandle& operator=(SettingsKeyHandle&& other) noexcept {
        if (this != &other) {
            reset();
            key_ = other.key_;
            other.key_ = nullptr;
        }
        return *this;
    }

    static SettingsKeyHandle open(SettingsKey* parent, const char* path) {
        return SettingsKeyHandle(open_settings_key(parent, path));
    }
    static SettingsKeyHandle create(SettingsKey* parent, const char* path) {
        return SettingsKeyHandle(create_settings_key(parent, path));
    }

    explicit operator bool() const { return key_ != nullptr; }
    SettingsKey* get() const { return key_; }

    bool read(const char* name, int32_t* value) const {
        uint32_t raw = 0;
        if (!key_ || !read_settings_value(key_, name, &raw)) return false;
        *value = static_cast<int32_t>(raw);
        return true;
    }
    bool write(const char* name, int32_t value) const {
        return key_ && write_settings_value(key_, name, static_cast<uint32_t>(value));
    }

    void reset() {
        if (key_) close_settings_key(key_);
        key_ = nullptr;
    }

private:
    SettingsKey* key_ = nullptr;
};

}  // namespace imvela::platform
