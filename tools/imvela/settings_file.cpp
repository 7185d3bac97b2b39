#include "settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "ImvelaSdk.h"
#include "camera_holder.h"
#include "capture_window_option.h"
#include "command_line.h"
#include "named_settings.h"
#include "settings_location.h"
#include "settings_store.h"
#include "tool_camera.h"

namespace {

// The stored groups by the names of imvela get and set, in the order of their keys.
const char* const kStoredNames[] = {
    // "Gain"
    "global-gain", "exposure", "mirror-h", "mirror-v", "auto-iris",
    // "Filter"
    "brightness", "contrast", "hue", "saturation", "sharpness", "bayer-gain-red", "bayer-gain-green",
    "bayer-gain-blue", "gamma", "bayer-mode",
    // "Gray"
    "gray-mode", "gray-gain-r", "gray-gain-g1", "gray-gain-g2", "gray-gain-b", "gray-offset-r", "gray-offset-g1",
    "gray-offset-g2", "gray-offset-b"};

// The video-format values of Camera_NN: the file's name, the store's, the first-use value.
struct FormatValue {
    const char* name;
    const char* stored;
    int32_t first_use;
    const char* meaning;
};
const FormatValue kFormat[] = {
    {"size", "Size", 0, "the size-list entry in use"},
    {"color-mode", "Color", 24, "bits: 8 16 24 32 48 64"},
    {"sub-sample", "SubSample", 0, "0, full resolution, is the only mode"},
    {"wait-time", "WaitTime", 1, "milliseconds the capture waits before each frame"},
    {"clock", "Clock", 2, "0 normal (24 MHz), 1 half (12 MHz), 2 high (80 MHz)"},
};
// A size-list entry's values, in the order of the file's line.
const char* const kSizeValues[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
constexpr int kSizeValueCount = 7;
constexpr int kMaxSizes = 100;

std::string size_key(int entry) {
    char key[24];
    std::snprintf(key, sizeof key, "Size_%02d", entry);
    return key;
}

using SizeEntry = std::vector<int32_t>;  // the seven values of kSizeValues

std::vector<SizeEntry> stored_sizes(int32_t number) {
    std::vector<SizeEntry> sizes;
    StoredValues values;
    for (int entry = 0; entry < kMaxSizes && read_stored_key(number, size_key(entry), &values); ++entry) {
        SizeEntry size(kSizeValueCount, 0);
        for (int k = 0; k < kSizeValueCount; ++k) find_stored_value(values, kSizeValues[k], &size[k]);
        sizes.push_back(size);
    }
    return sizes;
}

// Empty when a size entry can be read out; else why not.
std::string size_problem(const SizeEntry& s) { return window_problem(s[2], s[3], s[4], s[5]); }

std::string system_reason() { return std::strerror(errno); }

// What the file asks for, read and checked before anything is applied.
struct Imported {
    std::map<std::string, int32_t> format;                // by kFormat name
    std::vector<std::pair<std::string, int32_t>> named;  // kStoredNames
    std::map<int, SizeEntry> sizes;                       // by entry number
};

bool known_stored_name(const std::string& name) {
    for (const char* known : kStoredNames)
        if (name == known) return true;
    return false;
}

// Checks one "name = value" line into `out`; empty, or what is wrong.
std::string take_line(const std::string& name, const std::string& value, Imported* out) {
    std::istringstream words(value);
    std::vector<long> numbers;
    for (std::string word; words >> word;) {
        long n = 0;
        if (!parse_number(word, &n) || n < INT32_MIN || n > INT32_MAX) return "\"" + word + "\" is not a whole number";
        numbers.push_back(n);
    }
    if (name.compare(0, 5, "size-") == 0) {
        long entry = -1;
        if (!parse_number(name.substr(5), &entry) || entry < 0 || entry >= kMaxSizes)
            return "size entries are size-00 to size-99";
        if (numbers.size() != kSizeValueCount) return "a size entry has seven numbers: TOTAL_W TOTAL_H WIDTH HEIGHT H_START V_START BUFFERS";
        if (out->sizes.count(static_cast<int>(entry))) return "given twice";
        const SizeEntry size(numbers.begin(), numbers.end());
        if (const std::string problem = size_problem(size); !problem.empty()) return problem;
        out->sizes[static_cast<int>(entry)] = size;
        return "";
    }
    if (numbers.size() != 1) return "needs one number";
    const int32_t v = static_cast<int32_t>(numbers[0]);
    for (const FormatValue& f : kFormat) {
        if (name != f.name) continue;
        if (out->format.count(name)) return "given twice";
        bool valid = name == "size" ? v >= 0 && v < kMaxSizes
                     : name == "sub-sample" ? v == 0
                     : name == "wait-time" ? v >= 0
                     : name == "clock" ? v >= 0 && v <= 2
                                       : false;
        for (int32_t bits : kColorModes) valid = valid || (name == "color-mode" && v == bits);
        if (!valid) return std::to_string(v) + " is not allowed (" + f.meaning + ")";
        out->format[name] = v;
        return "";
    }
    if (!known_stored_name(name)) return "no stored setting \"" + name + "\"";
    for (const auto& item : out->named)
        if (item.first == name) return "given twice";
    out->named.emplace_back(name, v);
    return "";
}

// Reads and checks the whole file; false after printing every wrong line.
bool read_settings_file(const std::string& path, Imported* out) {
    std::ifstream in(path);
    if (!in) return failure("cannot read " + path + ": " + system_reason()) == kSucceeded;
    int errors = 0, number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = line.substr(0, line.find('#'));
        const size_t equals = line.find('=');
        std::istringstream name_words(line.substr(0, equals));
        std::string name, extra;
        name_words >> name >> extra;
        if (name.empty() && equals == std::string::npos) continue;
        const std::string problem = equals == std::string::npos || name.empty() || !extra.empty()
                                        ? "not a \"name = value\" line"
                                        : take_line(name, line.substr(equals + 1), out);
        if (problem.empty()) continue;
        std::fprintf(stderr, "%s:%d: %s%s\n", path.c_str(), number, name.empty() ? "" : (name + ": ").c_str(),
                     problem.c_str());
        ++errors;
    }
    if (!out->sizes.empty() && out->sizes.rbegin()->first != static_cast<int>(out->sizes.size()) - 1) {
        std::fprintf(stderr, "%s: the size entries must run from size-00 without a gap\n", path.c_str());
        ++errors;
    }
    if (out->format.count("size") && out->format["size"] >= static_cast<int32_t>(out->sizes.size())) {
        std::fprintf(stderr, "%s: size %d names no size entry of the file\n", path.c_str(), out->format["size"]);
        ++errors;
    }
    if (errors) failure(path + ": " + std::to_string(errors) + " wrong line" + (errors == 1 ? "" : "s") + "; nothing was changed");
    return errors == 0;
}

// Writes the video format and size list of `in` (what it gives) into the store.
bool store_video_format(int32_t number, const Imported& in) {
    StoredValues format;
    for (const FormatValue& f : kFormat) {
        const auto it = in.format.find(f.name);
        if (it == in.format.end()) continue;
        int32_t v = it->second;
        for (int32_t index = 0; index < 6; ++index)
            if (f.name == std::string("color-mode") && kColorModes[index] == v) v = index;
        format.emplace_back(f.stored, v);
    }
    bool stored = format.empty() || write_stored_key(number, "", format);
    for (const auto& size : in.sizes) {
        StoredValues values;
        for (int k = 0; k < kSizeValueCount; ++k) values.emplace_back(kSizeValues[k], size.second[k]);
        stored = stored && write_stored_key(number, size_key(size.first), values);
    }
    // The list ends at the first missing entry; entries beyond the file's go.
    for (int entry = static_cast<int>(in.sizes.size()); stored && !in.sizes.empty() && entry < kMaxSizes; ++entry)
        stored = remove_stored_key(number, size_key(entry));
    return stored;
}

}  // namespace

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

bool find_stored_value(const StoredValues& values, const std::string& name, int32_t* value) {
    for (auto it = values.rbegin(); it != values.rend(); ++it)
        if (same_name(it->first, name)) {
            *value = it->second;
            return true;
        }
    return false;
}

int export_settings(const CommandLine& line) {
    const std::string& path = line.words[1];
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    std::ostringstream text;
    text << "# imvela settings of camera " << camera.number() << " (" << device_name(camera.handle(), camera.number())
         << ", ROM id \"" << rom_identifier(camera.handle()) << "\")\n"
         << "# imvela settings import FILE applies every value below, or none when one is wrong.\n\n"
         << "# video format\n";
    StoredValues format;
    read_stored_key(camera.number(), "", &format);
    for (const FormatValue& f : kFormat) {
        int32_t v = f.first_use;
        if (find_stored_value(format, f.stored, &v) && f.name == std::string("color-mode"))
            v = v >= 0 && v < 6 ? kColorModes[v] : f.first_use;
        text << f.name << " = " << v << "  # " << f.meaning << "\n";
    }
    std::vector<SizeEntry> sizes = stored_sizes(camera.number());
    if (sizes.empty()) sizes.push_back({1292, 1040, 1280, 1024, 0, 0, 4});
    text << "# size list: TOTAL_W TOTAL_H WIDTH HEIGHT H_START V_START BUFFERS\n";
    for (size_t entry = 0; entry < sizes.size(); ++entry) {
        text << "size-" << (entry < 10 ? "0" : "") << entry << " =";
        for (int32_t v : sizes[entry]) text << " " << v;
        text << "\n";
    }
    const char* const groups[] = {"# analog values\n", "# image filter\n", "# gray filter\n"};
    for (size_t i = 0; i < sizeof kStoredNames / sizeof *kStoredNames; ++i) {
        if (i == 0 || i == 5 || i == 15) text << groups[i == 0 ? 0 : i == 5 ? 1 : 2];
        int32_t v = 0;
        if (!read_named_setting(camera, kStoredNames[i], &v))
            return camera.fail(std::string("reading ") + kStoredNames[i]);
        text << kStoredNames[i] << " = " << v << "\n";
    }
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return failure("cannot write " + path + ": " + system_reason());
    const std::string all = text.str();
    const bool written = std::fwrite(all.data(), 1, all.size(), out) == all.size();
    if ((std::fclose(out) != 0 || !written)) return failure("cannot write " + path + ": " + system_reason());
    std::printf("camera %d's stored settings written to %s\n", camera.number(), path.c_str());
    return kSucceeded;
}

int import_settings(const CommandLine& line) {
    const std::string& path = line.words[1];
    Imported imported;
    if (!read_settings_file(path, &imported)) return kFailed;
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    std::vector<std::pair<std::string, int32_t>> before;
    for (const auto& item : imported.named) {
        int32_t v = 0;
        if (!read_named_setting(camera, item.first, &v)) return camera.fail("reading " + item.first);
        before.emplace_back(item.first, v);
    }
    std::string problem;
    if (!apply_named_settings(camera, imported.named, &problem))
        return problem.empty() ? kFailed : failure(path + ": " + problem + "; nothing was changed");
    if (!store_video_format(camera.number(), imported)) {
        apply_named_settings(camera, before, &problem);
        camera.take_errors();
        return failure("the video format could not be stored in " + settings_location(camera.number()) +
                       "; nothing was changed");
    }
    camera.take_errors();
    if (!camera.release()) return kFailed;
    std::printf("%s applied to camera %d: %zu values, %zu sizes, %zu video-format values\n", path.c_str(),
                camera.number(), imported.named.size(), imported.sizes.size(), imported.format.size());
    return kSucceeded;
}

bool reset_video_format(int32_t number) {
    Imported first_use;
    for (const FormatValue& f : kFormat) first_use.format[f.name] = f.first_use;
    first_use.sizes[0] = {1292, 1040, 1280, 1024, 0, 0, 4};
    if (store_video_format(number, first_use)) return true;
    failure("the video format could not be stored in " + settings_location(number));
    return false;
}

std::string stored_window_problem(int32_t number) {
    StoredValues format;
    int32_t size = 0, sub_sample = 0;
    if (!read_stored_key(number, "", &format) || !find_stored_value(format, "Size", &size)) return "";
    find_stored_value(format, "SubSample", &sub_sample);
    const std::vector<SizeEntry> sizes = stored_sizes(number);
    if (size < 0 || size >= static_cast<int32_t>(sizes.size())) return "";
    std::string problem = size_problem(sizes[static_cast<size_t>(size)]);
    for (int32_t refused : {1, 2, 3, 17, 18, 19})
        if (problem.empty() && sub_sample == refused)
            problem = "sub-sampling mode " + std::to_string(sub_sample) + " is not supported (0 is the only mode)";
    return problem.empty() ? "" : "the stored capture window of camera " + std::to_string(number) + " (" +
                                      size_key(size) + " of " + settings_location(number) + "): " + problem;
}
