#include "platform/debug_log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/environment.h"
#include "platform/process_identity.h"

namespace imvela::debug_log {

std::atomic<uint8_t> g_levels[static_cast<int>(Category::count)] = {};

namespace {

constexpr const char* kCategories[] = {"device", "capture", "pipeline", "files", "settings", "preview"};
constexpr const char* kLevels[] = {"off", "error", "warn", "info", "debug"};

std::mutex& output_lock() {
    static std::mutex lock;
    return lock;
}
FILE* g_file = nullptr;  // null: standard error; guarded by output_lock

int index_of(const char* const* names, int count, const std::string& name) {
    for (int i = 0; i < count; ++i)
        if (name == names[i]) return i;
    return -1;
}

// Year, month and day of the day `days` after 1970-01-01 (proleptic Gregorian calendar).
void civil_date(int64_t days, int* year, int* month, int* day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t of_era = days - era * 146097;
    const int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    const int64_t of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * of_year + 2) / 153;
    *day = static_cast<int>(of_year - (153 * shifted_month + 2) / 5 + 1);
    *month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    *year = static_cast<int>(year_of_era + era * 400 + (*month <= 2 ? 1 : 0));
}

// Reads the environment when the library is loaded.
struct LoadTimeSetting {
    LoadTimeSetting() {
        std::string spec, file;
        if (!platform::environment_variable("IMVELA_LOG", &spec) || spec.empty()) return;
        const bool to_file = platform::environment_variable("IMVELA_LOG_FILE", &file) && !file.empty();
        if (!configure(spec.c_str(), to_file ? file.c_str() : nullptr))
            std::fprintf(stderr, "imvela: IMVELA_LOG=\"%s\"%s%s not used: categories %s, levels %s\n", spec.c_str(),
                         to_file ? " with IMVELA_LOG_FILE=" : "", to_file ? file.c_str() : "",
                         "device capture pipeline files settings preview all", "error warn info debug");
    }
};
const LoadTimeSetting load_time_setting;

}  // namespace

bool configure(const char* spec, const char* file) {
    uint8_t levels[static_cast<int>(Category::count)] = {};
    const std::string text = spec ? spec : "";
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        if (item.empty()) continue;
        const size_t colon = item.find(':');
        const std::string name = item.substr(0, colon);
        int level = static_cast<int>(Level::debug);
        if (colon != std::string::npos) {
            level = index_of(kLevels, 5, item.substr(colon + 1));
            if (level < 0) return false;
        }
        if (name == "all") {
            for (uint8_t& l : levels) l = static_cast<uint8_t>(level);
            continue;
        }
        const int category = index_of(kCategories, static_cast<int>(Category::count), name);
        if (category < 0) return false;
        levels[category] = static_cast<uint8_t>(level);
    }
    FILE* opened = nullptr;
    if (file && !(opened = std::fopen(file, "a"))) return false;
    std::lock_guard<std::mutex> guard(output_lock());
    if (g_file) std::fclose(g_file);
    g_file = opened;
    for (int i = 0; i < static_cast<int>(Category::count); ++i) g_levels[i].store(levels[i], std::memory_order_relaxed);
    return true;
}

void write(Category category, Level level, const char* format, ...) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    const int64_t seconds = micros / 1000000;
    int year = 1970, month = 1, day = 1;
    civil_date(seconds / 86400, &year, &month, &day);
    const int64_t of_day = seconds % 86400;
    char line[1024];
    int length = std::snprintf(line, sizeof line, "%04d-%02d-%02dT%02d:%02d:%02d.%06dZ [%u:%u] %s %s: ", year, month,
                               day, static_cast<int>(of_day / 3600), static_cast<int>(of_day / 60 % 60),
                               static_cast<int>(of_day % 60), static_cast<int>(micros % 1000000),
                               platform::current_process_id(), platform::current_thread_id(),
                               kCategories[static_cast<int>(category)], kLevels[static_cast<int>(level)]);
    if (length < 0) return;
    va_list arguments;
    va_start(arguments, format);
    const int text = std::vsnprintf(line + length, sizeof line - static_cast<size_t>(length), format, arguments);
    va_end(arguments);
    if (text < 0) return;
    length = static_cast<int>(std::strlen(line));
    if (length > static_cast<int>(sizeof line) - 2) length = static_cast<int>(sizeof line) - 2;
    line[length++] = '\n';
    std::lock_guard<std::mutex> guard(output_lock());
    FILE* out = g_file ? g_file : stderr;
    std::fwrite(line, 1, static_cast<size_t>(length), out);
    std::fflush(out);
}

}  // namespace imvela::debug_log
