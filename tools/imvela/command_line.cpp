#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "commands.h"
#include "emulator_variable.h"

namespace {

// Commands with --json print one JSON object instead of their text; README.md ("The imvela
// tool") documents each object's keys, which only grow.
#define JSON_TEXT "--json: the same as one JSON object (its keys: README.md, \"The imvela tool\").\n"
// The options every capture command takes for its one run.
#define CAPTURE_OPTIONS_TEXT                                                                              \
    "--window W H X Y: capture W x H pixels from column X, row Y of the 1292 x 1040 sensor (this run\n"  \
    "only; W 4 to 1292, H 1 to 1040, inside the sensor). --sub-sample MODE: 0, full resolution, is the\n" \
    "only mode.\n"

const Command kCommands[] = {
    {"list", "list [--json]", "every camera: number, device name, ROM identifier, in use or free",
     "An attached camera that another program captures from shows as \"in use by process ID\n"
     "(PROGRAM) since TIME\".\n" JSON_TEXT,
     "", "json", 0, 0, command_list},
    {"info", "info [--camera N] [--json]", "one camera: sensor, limits and current settings",
     "--camera N: camera number (default 0; imvela list shows them)\n" JSON_TEXT, "camera", "json", 0, 0,
     command_info},
    {"get", "get [NAME...] [--camera N] [--json]", "read settings (all without NAME)",
     "NAME is a setting of imvela get (its list), or a filter-value identifier 1 to 28. Gamma is\n"
     "shown with its exponent (v/100 up to 100, 1 + (v - 100)/10 above: 110 is 2.0), brightness with\n"
     "its gain factor (1 + v/25.5 above 0, 1 - |v|/255 below).\n" JSON_TEXT,
     "camera", "json", 0, 64, command_get},
    {"set", "set NAME VALUE [NAME VALUE...] [--camera N]", "change settings, all or none",
     "Every value is checked first; then all are applied, or none when one is refused. Image\n"
     "values (filters, gray balance) and analog values (gain, exposure, mirrors) are stored per\n"
     "camera when the tool releases it, so later commands start with them. Colour mode, capture\n"
     "window, wait time and sub-sampling apply to this run's handle only and are not stored:\n"
     "give a capture command --mode and --window instead (imvela settings import stores a video\n"
     "format). A camera that another program captures from is refused: its values would be\n"
     "overwritten when that program releases it.\n"
     "Examples: imvela set brightness 20 gamma 120; imvela set exposure-us 15000.\n",
     "camera", "", 2, 64, command_set},
    {"settings", "settings show|reset|export FILE|import FILE [--camera N] [--json]", "the stored per-camera settings",
     "show: every stored value and where the store is (--json: as one object).\n"
     "reset: image, gray and analog values back to the library's defaults, and the video format\n"
     "and size list back to the first-use ones (one size, 1280 x 1024).\n"
     "export FILE: the stored video format, size list, analog, filter and gray values as a text\n"
     "file, one \"name = value\" a line, to keep under version control or take to another camera.\n"
     "import FILE: checks every line of such a file, then applies all of it or nothing.\n",
     "camera", "json", 1, 2, command_settings},
    {"snapshot", "snapshot [FILE...] [--mode BITS] [--type TYPE] [--window W H X Y] [--camera N]",
     "take one frame and save it as still images",
     "Each FILE's type comes from --type or its extension: .bmp .raw .jpg/.jpeg (quality 100)\n"
     ".png .tif/.tiff. TYPE: bmp raw jpeg jpeg100 jpeg70 jpeg20 png tiff, or the number 0 to 6.\n"
     "BITS: 8 16 24 32 48 64 (default: the camera's mode). Without FILE: the frame's size and\n"
     "first bytes.\n" CAPTURE_OPTIONS_TEXT,
     "mode type camera window sub-sample", "", 0, 16, command_snapshot},
    {"stills", "stills FOLDER [--mode BITS] [--window W H X Y] [--camera N]",
     "one frame saved as every still type into FOLDER",
     "FOLDER is made when missing; prints each file's name, size and saving time.\n" CAPTURE_OPTIONS_TEXT,
     "mode camera window sub-sample", "", 1, 1, command_stills},
    {"stream", "stream [SECONDS] [--mode BITS] [--window W H X Y] [--camera N] [--json]",
     "stream without a window, with a live status",
     "Default 3 s. On a terminal one status line is rewritten in place: frames per second, frames\n"
     "delivered, frames skipped (the camera's newer frame taken instead; emulated cameras only),\n"
     "CPU time per frame and errors; otherwise a plain line per second. Ends with a summary.\n"
     "--json: one object a line, each second and at the end:\n"
     "  {\"seconds\":1.0,\"fps\":30.0,\"delivered\":30,\"skipped\":0,\"cpu_ms_per_frame\":1.8,\"errors\":0}\n"
     "  (skipped is null where unknown), the last one with \"final\":true.\n" CAPTURE_OPTIONS_TEXT,
     "mode camera window sub-sample", "json", 0, 1, command_stream},
    {"record", "record SECONDS FILE.avi [--mode BITS] [--window W H X Y] [--camera N]", "record an AVI file",
     "Records SECONDS from the first frame with a progress bar on a terminal, then prints the\n"
     "file's frame count and measured rate. The file is an uncompressed AVI: its name must end in\n"
     ".avi.\n" CAPTURE_OPTIONS_TEXT,
     "mode camera window sub-sample", "", 2, 2, command_record},
    {"trigger", "trigger [COUNT] [--wait SECONDS] [--external] [--mode BITS] [--window W H X Y] [--camera N]",
     "hardware-trigger mode: arm, fire, count frames",
     "Arms the trigger and fires it COUNT times (default 3) through the emulated camera; on a real\n"
     "camera, or with --external, waits up to --wait SECONDS (default 10) for each trigger input.\n"
     CAPTURE_OPTIONS_TEXT,
     "wait mode camera window sub-sample", "external", 0, 1, command_trigger},
    {"defects", "defects FILE [--camera N]", "load a defect-pixel list; report how many pixels it corrects",
     "FILE: records of two 32-bit little-endian numbers x, y (sensor column from the left, row\n"
     "from the bottom). Loads it into the camera and counts the distinct pixels on the sensor and\n"
     "inside the current capture window: those the correction replaces in every frame.\n",
     "camera", "", 1, 1, command_defects},
    {"doctor", "doctor [--preview] [--json]", "check what an integration needs and say what to do",
     "Checks IMVELA_EMULATOR, the cameras and which driver serves them (the camera driver or the\n"
     "emulated camera), the device-use table and who holds each camera, the settings store and\n"
     "the stored capture window, and a display for preview windows (a warning unless --preview\n"
     "says previews are wanted: every capture command of this tool works without one). Exit\n"
     "status 1 when something fails.\n" JSON_TEXT,
     "", "preview json", 0, 0, command_doctor},
    {"selftest", "selftest [--pipeline] [--camera N] [--json]", "check the image pipeline and the camera on this machine",
     "The frame pipeline on a built-in pattern in every colour mode and adjustment, by every kernel\n"
     "variant this processor runs, on 1 and all threads, compared with the digests the library was\n"
     "built with; then the camera: enumeration, ROM identifier, a register read back, every colour\n"
     "mode streaming, the delivered frames, stopping (about 5 s). --pipeline: the pipeline alone.\n"
     "Prints a short report to mail back; exit status 0 only when every check passed.\n" JSON_TEXT,
     "camera", "pipeline json", 0, 0, command_selftest},
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

// How many words an option's value has: --window W H X Y takes four, the others one.
int value_words(const std::string& name) { return name == "window" ? 4 : 1; }

// The command's option that "-m" was probably meant as: the only one starting with that letter.
std::string long_form(const Command& c, char letter) {
    std::istringstream words(std::string(c.value_options) + " " + c.flag_options);
    std::string found;
    for (std::string w; words >> w;)
        if (w[0] == letter) {
            if (!found.empty()) return "";
            found = w;
        }
    return found;
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

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
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
        // "-m": options are long; say which one was meant instead of counting it as a word.
        if (word.size() >= 2 && word[0] == '-' && word[1] != '-' && !(word[1] >= '0' && word[1] <= '9')) {
            const std::string meant = long_form(c, word[1]);
            return usage_error(line, "unknown option " + word + (meant.empty() ? "" : " (options are long: --" + meant + ")"));
        }
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
                const int n = value_words(name);
                if (i + n >= argc) return usage_error(line, "--" + name + (n > 1 ? " needs " + std::to_string(n) + " values" : " needs a value"));
                for (int k = 0; k < n; ++k) value += (k ? " " : "") + std::string(argv[++i]);
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
    // The doctor reports it among its findings.
    if (const std::string problem = emulator_variable_problem(); !problem.empty() && c.run != command_doctor)
        return usage_error(line, problem);
    return c.run(line);
}
