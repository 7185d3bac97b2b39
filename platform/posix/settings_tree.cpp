// The settings tree as files: one folder per key under the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), the HKEY_CURRENT_USER\Software level being that
// folder itself. A key's values live in its file "values", one "Name = number" a line.
// Every change rewrites that file into a temporary file and renames it over the old one,
// under an exclusive lock on "values.lock", so readers always see a whole file and
// concurrent writers never lose each other's values.
//
// The files belong to the user and may be damaged or replaced by anything: a "values"
// that is not a regular file (a FIFO, a device) is not read, so it cannot hang the caller;
// of one larger than any settings file can be only the first kMaxValuesBytes are read (the
// whole lines in them), so it cannot slow the caller and the values at its top survive; the
// next change writes a clean file. A lock that another process holds for longer than
// kLockWait without writing makes the write fail without touching the file. Temporary
// files are made exclusively under a name no file has yet, so leftovers of a crash (or of a
// process that had the same id) are never written into and never block a write.
#include <algorithm>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/settings_values.h"
#include "platform/settings_tree.h"
#include "platform/debug_log.h"
#include "platform/system_error.h"

struct imvela::platform::SettingsKey {
    std::string folder;
    std::string publish_as;  // a staging key: the folder it becomes
};

namespace imvela::platform {

namespace {

constexpr char kValuesFile[] = "values";
constexpr char kLockFile[] = "values.lock";
constexpr char kTempPrefix[] = "values.tmp.";
// A key holds a few dozen short lines; anything beyond this is not read.
constexpr size_t kMaxValuesBytes = 64 * 1024;
// Fresh temporary names tried before a write gives up (each collision is a leftover).
constexpr int kTempAttempts = 64;
// How long a write waits for another process's lock, and how often it looks again.
constexpr auto kLockWait = std::chrono::milliseconds(500);
constexpr auto kLockRetry = std::chrono::milliseconds(2);

// Opens an existing regular file without blocking (a FIFO would wait for a writer) and
// without following a final symbolic link; -1 with errno set otherwise (ENOENT when missing).
int open_regular(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

std::string configuration_folder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;  // relative values are to be ignored
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config";
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return std::string(found->pw_dir) + "/.config";
    return {};
}

bool equal_ignoring_case(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Splits a '\'-separated key path into folder names; false for names a folder cannot
// carry safely ("", ".", "..", or a '/' inside).
bool split_path(const char* path, bool from_user_root, std::vector<std::string>* parts) {
    std::string part;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) return false;
            parts->push_back(std::move(part));
            part.clear();
            if (*p == '\0') break;
        } else {
            part.push_back(*p);
        }
    }
    // HKEY_CURRENT_USER\Software is the configuration folder itself.
    if (from_user_root && !parts->empty() && equal_ignoring_case(parts->front(), "Software"))
        parts->erase(parts->begin());
    return true;
}

bool is_folder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_folder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) == 0) return true;
    return errno == EEXIST && is_folder(path);
}

// Makes every missing folder of an absolute path.
bool make_folders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (!make_folder(path.substr(0, slash))) return false;
    return make_folder(path);
}

// Deletes a folder and everything in it (a staging key that lost the race).
void remove_tree(const std::string& folder) {
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "/" + name;
            struct stat info;
            if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) remove_tree(path);
            else unlink(path.c_str());
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}

SettingsKey* resolve(SettingsKey* parent, const char* path, bool create) {
    if (!path) return nullptr;
    try {
        std::string folder = parent ? parent->folder : configuration_folder();
        if (folder.empty()) return nullptr;
        std::vector<std::string> parts;
        if (*path && !split_path(path, parent == nullptr, &parts)) return nullptr;
        if (create && !parent && !make_folders(folder)) return nullptr;
        for (const std::string& part : parts) {
            folder += '/';
            folder += part;
            if (create && !make_folder(folder)) return nullptr;
        }
        if (!is_folder(folder)) return nullptr;
        return new SettingsKey{std::move(folder), std::string()};
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Decimal (signed or up to 4294967295) or 0x-prefixed hexadecimal.
bool parse_number(const std::string& text, uint32_t* value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    unsigned base = 10;
    if (!negative && text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    uint64_t number = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        if (digit >= base) return false;
        number = number * base + digit;
        if (number > 0xFFFFFFFFull) return false;
    }
    if (negative) {
        if (number > 0x80000000ull) return false;
        *value = static_cast<uint32_t>(0u - static_cast<uint32_t>(number));
    } else {
        *value = static_cast<uint32_t>(number);
    }
    return true;
}

using ValueList = SettingsValueList;

}  // namespace

void parse_settings_values(const std::string& text, SettingsValueList* values) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = trim(line.substr(0, equals));
        uint32_t number = 0;
        if (name.empty() || !parse_number(trim(line.substr(equals + 1)), &number)) continue;
        values->emplace_back(name, number);
    }
}

namespace {

// Reads the key's values; a missing file is an empty key, lines that do not parse are
// skipped. Of a file longer than kMaxValuesBytes only the whole lines within that many bytes
// count.
bool read_values(const std::string& folder, ValueList* values) {
    const std::string path = folder + "/" + kValuesFile;
    const int fd = open_regular(path, O_RDONLY);
    if (fd < 0) return errno == ENOENT;
    // Read as it comes, one byte past the limit at most (a values file is a few hundred bytes).
    std::string text;
    char chunk[4096];
    while (text.size() <= kMaxValuesBytes) {
        const ssize_t got = read(fd, chunk, std::min(sizeof chunk, kMaxValuesBytes + 1 - text.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return false;
        }
        if (got == 0) break;
        text.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    if (text.size() > kMaxValuesBytes) {
        // Cut: the line the limit falls into may be a fragment of a longer one.
        const size_t last_end = text.rfind('\n', kMaxValuesBytes - 1);
        text.resize(last_end == std::string::npos ? 0 : last_end + 1);
    }
    parse_settings_values(text, values);
    return true;
}

bool write_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Makes a temporary file beside "values" under a name no file has: a collision (a leftover)
// only means another name. -1 when none could be made.
int make_temp_file(const std::string& folder, std::string* temp) {
    static std::atomic<unsigned> counter{0};
    const unsigned salt = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        *temp = folder + "/" + kTempPrefix + std::to_string(getpid()) + "." +
                std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) + "." + std::to_string(salt % 100000);
        const int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool write_file(int fd, const std::string& text) {
    const bool written = write_all(fd, text) && fsync(fd) == 0;
    return close(fd) == 0 && written;
}

std::string values_text(const ValueList& values) {
    std::string text;
    for (const auto& value : values)
        text += value.first + " = " + std::to_string(static_cast<int32_t>(value.second)) + "\n";
    return text;
}

// Writes the whole list to a fresh temporary file and renames it over "values".
bool replace_values(const std::string& folder, const ValueList& values) {
    std::string temp;
    const int fd = make_temp_file(folder, &temp);
    if (fd < 0) {
        IMVELA_LOG(settings, error, "settings in %s: no file can be made there: %s", folder.c_str(),
                   system_error_text().c_str());
        return false;
    }
    if (write_file(fd, values_text(values)) && rename(temp.c_str(), (folder + "/" + kValuesFile).c_str()) == 0)
        return true;
    IMVELA_LOG(settings, error, "settings in %s not stored: %s", folder.c_str(), system_error_text().c_str());
    unlink(temp.c_str());
    return false;
}

// Which file a path names now and when it last changed.
struct FileVersion {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t changed_ns = 0;
    bool operator==(const FileVersion& other) const {
        return device == other.device && inode == other.inode && changed_ns == other.changed_ns;
    }
};

FileVersion version_of(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return {};
    return {info.st_dev, info.st_ino, static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// Holds the key's writer lock for its lifetime; not held when the lock file is not a
// regular file or another holder keeps it longer than kLockWait without changing "values".
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) {
        fd_ = open_regular(folder + "/" + kLockFile, O_RDWR | O_CREAT);
        if (fd_ < 0) return;
        // Other writers replace "values" while they hold the lock: as long as it keeps
        // changing they are busy, not stuck, and the wait goes on.
        const std::string values = folder + "/" + kValuesFile;
        FileVersion seen = version_of(values);
        auto deadline = std::chrono::steady_clock::now() + kLockWait;
        while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            const auto now = std::chrono::steady_clock::now();
            const FileVersion current = version_of(values);
            if (!(current == seen)) {
                seen = current;
                deadline = now + kLockWait;
            }
            if ((error != EWOULDBLOCK && error != EINTR) || now >= deadline) {
                close(fd_);
                fd_ = -1;
                return;
            }
            std::this_thread::sleep_for(kLockRetry);
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool valid_value_name(const char* name) {
    if (!name[0] || name[0] == '#' || name[0] == ';') return false;
    for (const char* p = name; *p; ++p)
        if (*p == '=' || *p == '\n' || *p == '\r') return false;
    const std::string text(name);
    return trim(text) == text;
}

}  // namespace

SettingsKey* open_settings_key(SettingsKey* parent, const char* path) { return resolve(parent, path, false); }

SettingsKey* create_settings_key(SettingsKey* parent, const char* path) { return resolve(parent, path, true); }

bool read_settings_value(SettingsKey* key, const char* name, uint32_t* value) {
    if (!key || !name || !value) return false;
    try {
        ValueList values;
        if (!read_values(key->folder, &values)) return false;
        for (auto it = values.rbegin(); it != values.rend(); ++it) {
            if (equal_ignoring_case(it->first, name)) {
                *value = it->second;
                return true;
            }
        }
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool write_settings_value(SettingsKey* key, const char* name, uint32_t value) {
    if (!key || !name || !valid_value_name(name)) return false;
    try {
        FolderLock lock(key->folder);
        if (!lock.held()) return false;
        ValueList values;
        if (!read_values(key->folder, &values)) return false;
        bool found = false;
        for (auto& entry : values) {
            if (equal_ignoring_case(entry.first, name)) {
                entry.second = value;
                found = true;
            }
        }
        if (!found) values.emplace_back(name, value);
        return replace_values(key->folder, values);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void close_settings_key(SettingsKey* key) { delete key; }

SettingsKey* create_staging_settings_key(const char* path) {
    if (!path) return nullptr;
    try {
        std::string parent = configuration_folder();
        std::vector<std::string> parts;
        if (parent.empty() || !split_path(path, true, &parts) || parts.empty() || !make_folders(parent)) return nullptr;
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            parent += '/';
            parent += parts[i];
            if (!make_folder(parent)) return nullptr;
        }
        // A hidden name no key path can spell ('.' cannot start a component of one made by
        // the library's callers, and the suffix is unique).
        std::string staging = parent + "/." + parts.back() + ".new.XXXXXX";
        if (!mkdtemp(&staging[0])) return nullptr;
        return new SettingsKey{std::move(staging), parent + "/" + parts.back()};
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool finish_staging_settings_key(SettingsKey* staging, bool publish) {
    if (!staging) return false;
    bool published = false;
    if (!staging->publish_as.empty()) {
        // A directory renamed onto an existing one replaces it only when that one is empty
        // (an empty key: nothing lost); a key with contents stays and the staging key goes.
        published = publish &&
                    rename(staging->folder.c_str(), staging->publish_as.c_str()) == 0;
        if (!published) remove_tree(staging->folder);
    }
    delete staging;
    return published;
}

}  // namespace imvela::platform
