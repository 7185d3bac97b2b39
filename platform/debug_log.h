#pragma once
// The library's debug log: lines about what it did and why something failed, for the people
// who integrate or support a camera. Off unless IMVELA_LOG names categories:
//   IMVELA_LOG=category[:level],...   categories device, capture, pipeline, files, settings,
//                                     preview, or "all"; levels error, warn, info, debug
//                                     (without a level: debug, every line of the category)
//   IMVELA_LOG_FILE=PATH              append the lines to PATH instead of standard error
// Both are read once, when the library is loaded. A line:
//   2026-12-08T16:02:11.123456Z [4242:4243] capture error: ...
// (UTC time, process id : thread id, category, level, text).
// A statement whose category and level are off costs one relaxed load and a compare; its
// arguments are not evaluated.
#include <atomic>
#include <cstdint>
#include <string>

namespace imvela::debug_log {

enum class Category : int { device, capture, pipeline, files, settings, preview, count };
enum class Level : int { off = 0, error = 1, warn = 2, info = 3, debug = 4 };

// Per category the most detailed level written (off: none); set at load.
extern std::atomic<uint8_t> g_levels[static_cast<int>(Category::count)];

inline bool enabled(Category category, Level level) {
    return static_cast<int>(level) <= g_levels[static_cast<int>(category)].load(std::memory_order_relaxed);
}

// Writes one line (printf format); call through IMVELA_LOG.
void write(Category category, Level level, const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 3, 4)))  // the C++ runtime's own printf, not the system's
#elif defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Sets the log as IMVELA_LOG and IMVELA_LOG_FILE would (null: off, standard error). For the
// library's load and for tests; false, with the log as it was, when `spec` names an unknown
// category or level, or the file cannot be opened.
bool configure(const char* spec, const char* file);

}  // namespace imvela::debug_log

#define IMVELA_LOG(category, level, ...)                                                                 \
    do {                                                                                                 \
        if (::imvela::debug_log::enabled(::imvela::debug_log::Category::category,                        \
                                         ::imvela::debug_log::Level::level))                             \
            ::imvela::debug_log::write(::imvela::debug_log::Category::category,                          \
                                       ::imvela::debug_log::Level::level, __VA_ARGS__);                  \
    } while (0)
