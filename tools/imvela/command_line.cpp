#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "commands.h"

namespace {

constexpr const char* kCameraOption = "--camera N  camera number (default 0; imvela list shows them)";

const Command kCommands[] = {
    {"list", "list", "every camera: number, device name, ROM identifier, in use or free",
     "An attached camera that another program captures from shows as \"in use\" with that\n"
     "program's process id, executable and the time it took the camera.\n",
     "", "", 0, 0, command_list},
    {"info", "info [--camera N]", "one camera: sensor, limits and current settings", kCameraOption, "camera", "", 0, 0,
     command_info},
    {"get", "get [NAME...] [--camera N]", "read settings (all without NAME)",
     "NAME is a setting of imvela get (its list), or a filter-value identifier 1 to 28.\n", "camera", "", 0, 64,
     command_get},
    {"set", "set NAME VALUE [NAME VALUE...] [--camera N]", "change settings",
     "Image values (filters, gray balance) and analog values (gain, exposure, mirrors) are stored\n"
     "per camera when the tool releases it, so later commands start with them. Colour mode and\n"
     "capture window apply to this handle only: give them to a capture command (--mode) instead.\n"
     "Examples: imvela set brightness 20 gamma 120; imvela set exposure-us 15000;\n"
     "imvela set capture-window 1292 0 640 1040 0 480.\n",
     "camera", "", 2, 64, command_set},
    {"settings", "settings show|reset [--camera N]", "the stored per-camera settings",
     "show: every stored value and where the store is; reset: image, gray and analog values back\n"
     "to the library's defaults (stored when the tool releases the camera).\n",
     "camera", "", 1, 1, command_settings},
    {"snapshot", "snapshot [FILE...] [--mode BITS] [--type TYPE] [--camera N]",
     "take one frame and save it as still images",
     "Each FILE's type comes from --type or its extension: .bmp .raw .jpg/.jpeg (quality 100)\n"
     ".png .tif/.tiff. TYPE: bmp raw jpeg jpeg100 jpeg70 jpeg20 png tiff, or the number 0 to 6.\n"
     "BITS: 8 16 24 32 48 64 (default: the camera's mode). Without FILE: the frame's size and\n"
     "first bytes.\n",
     "mode type camera", "", 0, 16, command_snapshot},
    {"stills", "stills FOLDER [--mode BITS] [--camera N]", "one frame saved as every still type into FOLDER",
     "FOLDER is made when missing; prints each file's name, size and saving time.\n", "mode camera", "", 1, 1,
     command_stills},
    {"stream", "stream [SECONDS] [--mode BITS] [--camera N]", "stream without a window, with a live status",
     "Default 3 s. On a terminal one status line is rewritten in place: frames per second, frames\n"
     "delivered, frames skipped (the camera's newer frame taken instead), CPU time per frame and\n"
     "errors; otherwise a plain line per second. Ends with a summary: the stream's counts (failed,\n"
     "short and timed-out transfers, unplugs) and the last frame's number and arrival.\n",
     "mode camera", "", 0, 1, command_stream},
    {"record", "record SECONDS FILE.avi [--mode BITS] [--camera N]", "record an AVI file",
     "Records SECONDS from the first frame with a progress bar on a terminal, then prints the\n"
     "file's frame count and measured rate.\n",
     "mode camera", "", 2, 2, command_record},
    {"trigger", "trigger [COUNT] [--wait SECONDS] [--external] [--mode BITS] [--camera N]",
     "hardware-trigger mode: arm, fire, count frames",
     "Arms the trigger and fires it COUNT times (default 3) through the emulated camera; on a real\n"
     "camera, or with --external, waits up to --wait SECONDS (default 10) for each trigger input.\n",
     "wait mode camera", "external", 0, 1, command_trigger},
    {"defects", "defects FILE [--camera N]", "load a defect-pixel list; report how many pixels it corrects",
     "FILE: records of two 32-bit little-endian numbers x, y (sensor column from the left, row\n"
     "from the bottom). Loads it into the camera and counts the distinct pixels on the sensor and\n"
     "inside the current capture window: those the correction replaces in every frame.\n",
     "camera", "", 1, 1, command_defects},
    {"doctor", "doctor", "check what an integration needs and say what to do",
     "Checks the cameras (driver or emulator), the device-use table and who holds each camera,\n"
     "the settings store and a display for preview windows. Exit status 1 when something fails.\n",
     "", "", 0, 0, command_doctor},
    {"selftest", "selftest [--pipeline] [--camera N]", "check the image pipeline and the camera on this machine",
     "The frame pipeline on a built-in pattern in every colour mode and adjustment, by every kernel\n"
     "variant this processor runs, on 1 and all threads, compared with the digests the library was\n"
     "built with; then the camera: enumeration, ROM identifier, a register read back, every colour\n"
     "mode streaming, the delivered frames, stopping (about 5 s). --pipeline: the pipeline alone.\n"
     "Prints a short report to mail back; exit status 0 only when every check passed.\n",
     "camera", "pipeline", 0, 0, command_selftest},
    {"register", "register ADDRESS [VALUE] [--camera N]", "read a sensor register, or write it and read it back",
     "Numbers in C notation: 0x2E, 46.\n", "camera", "", 1, 2, command_register},
    {"version", "version", "the library version", "", "", "", 0, 0, command_version},
    {"handle", "handle", "open a camera handle, show its state and release it", "", "", "", 0, 0, command_handle},
    {"soak", "soak [SECONDS [SEED]]", "long run: cycles and streaming with random faults (release build)",
     "1000 preview start/stop and 500 initialise/release cycles with memory and descriptors\n"
     "checked flat, then SECONDS (default 180) of streaming with a random fault every few\n"
     "seconds; reports frames, errors by code and slow stops.\n",
     "", "", 0, 2, command_soak},
};

const Command* find_command(const char* name) {
    if (std::strcmp(name, "cameras") == 0) name = "list";  // the earlier name
    for (const Command& c : kCommands)
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

bool listed(const char* list, const std::string& name) {
    std::istringstream words(list);
    for (std::string w; words >> w;)
        if (w == name) return true;
    return false;
}

int overview(std::FILE* out) {
    std::fprintf(out,
                 "usage: imvela COMMAND [ARGUMENTS] [OPTIONS]\n"
                 "       imvela COMMAND --help   (imvela help COMMAND)\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %-9s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\nWithout a camera attached the library uses its emulated camera (Linux), or with\n"
                 "IMVELA_EMULATOR=0 (Windows). Exit status: 0 done, 1 failed, 2 wrong usage.\n");
    return kSucceeded;
}

int command_help(const Command& c) {
    std::printf("usage: imvela %s\n%s\n%s", c.synopsis, c.summary, c.details);
    if (*c.details && c.details[std::strlen(c.details) - 1] != '\n') std::printf("\n");
    return kSucceeded;
}

}  // namespace

std::string CommandLine::option(const char* name, const char* fallback) const {
    const auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

int32_t CommandLine::camera() const {
    long number = 0;
    parse_number(option("camera", "0"), &number);
    return static_cast<int32_t>(number);
}

bool parse_number(const std::string& text, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || !end || *end != '\0') return false;
    *value = v;
    return true;
}

bool parse_bounded(const CommandLine& line, const std::string& text, const char* what, long low, long high,
                   long* value) {
    if (parse_number(text, value) && *value >= low && *value <= high) return true;
    usage_error(line, std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", not \"" + text + "\"");
    return false;
}

bool parse_seconds(const CommandLine& line, const std::string& text, double high, double* value) {
    char* end = nullptr;
    const double v = text.empty() ? -1 : std::strtod(text.c_str(), &end);
    if (end && *end == '\0' && v >= 0 && v <= high) {
        *value = v;
        return true;
    }
    usage_error(line, "SECONDS must be a number from 0 to " + std::to_string(static_cast<long>(high)) + ", not \"" +
                          text + "\"");
    return false;
}

int usage_error(const CommandLine& line, const std::string& message) {
    const char* name = line.command ? line.command->name : "";
    std::fprintf(stderr, "imvela%s%s: %s\n", *name ? " " : "", name, message.c_str());
    if (line.command)
        std::fprintf(stderr, "usage: imvela %s   (imvela %s --help)\n", line.command->synopsis, name);
    else
        std::fprintf(stderr, "imvela --help lists the commands\n");
    return kUsageError;
}

int failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "imvela: %s\n", message.c_str());
    return kFailed;
}

int run_tool(int argc, char** argv) {
    CommandLine line;
    if (argc < 2) {
        overview(stderr);
        return kUsageError;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        if (argc > 2) {
            const Command* c = find_command(argv[2]);
            if (!c) return usage_error(line, std::string("no command \"") + argv[2] + "\"");
            return command_help(*c);
        }
        return overview(stdout);
    }
    line.command = find_command(first.c_str());
    if (!line.command) return usage_error(line, "no command \"" + first + "\"");
    const Command& c = *line.command;
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--help" || word == "-h") return command_help(c);
        // A word starting "-" followed by a digit is a negative number, not an option.
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            line.words.push_back(word);
            continue;
        }
        std::string name = word.substr(2), value;
        const size_t equals = name.find('=');
        const bool inline_value = equals != std::string::npos;
        if (inline_value) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (listed(c.value_options, name)) {
            if (!inline_value) {
                if (i + 1 >= argc) return usage_error(line, "--" + name + " needs a value");
                value = argv[++i];
            }
        } else if (!listed(c.flag_options, name) || inline_value) {
            return usage_error(line, "unknown option " + word);
        }
        line.options[name] = value;
    }
    if (line.words.size() < c.min_words) return usage_error(line, "missing arguments");
    if (line.words.size() > c.max_words) return usage_error(line, "too many arguments");
    long camera = 0;
    if (line.has("camera") && !parse_bounded(line, line.option("camera"), "--camera", 0, 31, &camera))
        return kUsageError;
    return c.run(line);
}
