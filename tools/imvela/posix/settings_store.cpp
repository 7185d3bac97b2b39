#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "command_line.h"
#include "settings_location.h"
#include "settings_store.h"

namespace fs = std::filesystem;

namespace {

// How long a write waits for the library's (or another tool's) lock on the key.
constexpr auto kLockWait = std::chrono::milliseconds(500);

std::string key_folder(int32_t number, const std::string& key) {
    return settings_location(number) + (key.empty() ? "" : "/" + key);
}

bool parse_value(const std::string& text, int32_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > 0xFFFFFFFFLL) return false;
    *value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}


}  // namespace

bool read_stored_key(int32_t number, const std::string& key, StoredValues* values) {
    const std::string folder = key_folder(number, key);
    std::error_code error;
    if (!fs::is_directory(folder, error)) return false;
    values->clear();
    std::ifstream in(folder + "/values");
    for (std::string line; std::getline(in, line);) {
        line = trimmed(line);
        const size_t equals = line.find('=');
        int32_t value = 0;
        if (line.empty() || line[0] == '#' || line[0] == ';' || equals == std::string::npos ||
            !parse_value(trimmed(line.substr(equals + 1)), &value))
            continue;
        values->emplace_back(trimmed(line.substr(0, equals)), value);
    }
    return true;
}

bool write_stored_key(int32_t number, const std::string& key, const StoredValues& changes) {
    const std::string folder = key_folder(number, key);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return false;
    // The library's writers take this lock too; the file is replaced whole by a rename.
    const int lock = open((folder + "/values.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    bool locked = false;
    while (!(locked = flock(lock, LOCK_EX | LOCK_NB) == 0) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    StoredValues values;
    bool written = false;
    if (locked) {
        read_stored_key(number, key, &values);
        for (const auto& change : changes) {
            bool found = false;
            for (auto& value : values)
                if (same_name(value.first, change.first)) found = true, value.second = change.second;
            if (!found) values.push_back(change);
        }
        const std::string temp = folder + "/values.tmp." + std::to_string(getpid());
        {
            std::ofstream out(temp, std::ios::trunc);
            for (const auto& value : values) out << value.first << " = " << value.second << "\n";
            written = static_cast<bool>(out.flush());
        }
        written = written && std::rename(temp.c_str(), (folder + "/values").c_str()) == 0;
        if (!written) std::remove(temp.c_str());
    }
    close(lock);
    return written;
}

bool remove_stored_key(int32_t number, const std::string& key) {
    std::error_code error;
    fs::remove_all(key_folder(number, key), error);
    return !error;
}
