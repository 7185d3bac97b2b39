#include "emulator/emulator_settings.h"

#include <algorithm>
#include <cstdlib>

#include "driver/defect_records.h"
#include "driver/sensor_map.h"
#include "platform/environment.h"
#include "platform/file_reader.h"

namespace imvela::emulator {

namespace {

bool parse_int(const std::string& text, int32_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -2147483647L || v > 2147483647L) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

bool parse_camera_list(const std::string& text, std::vector<int32_t>* cameras) {
    cameras->clear();
    // Every number once with a separator fits many times over; a longer text is no list, and
    // reading it at every device request would slow each one down.
    if (text.size() > kMaxCameraListLength) return false;
    const std::string all = trimmed(text);
    if (all == "none" || all.empty()) return true;
    size_t start = 0;
    while (start <= all.size()) {
        const size_t comma = all.find(',', start);
        const std::string item = trimmed(all.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        int32_t n = 0;
        if (parse_int(item, &n) && n >= 0 && n < kMaxCameras &&
            std::find(cameras->begin(), cameras->end(), n) == cameras->end())
            cameras->push_back(n);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

DefectList load_defect_file(const std::string& path) {
    DefectList points;
    std::vector<uint8_t> bytes;
    if (!platform::read_whole_file(path.c_str(), &bytes)) return points;
    for (const DefectPixel& p : parse_defect_records(bytes.data(), bytes.size()))
        // The file counts rows from the bottom of the sensor.
        if (p.x >= 0 && p.x < sensor::kColumns && p.y >= 0 && p.y < sensor::kRows)
            points.push_back({p.x, sensor::kRows - 1 - p.y});
    return points;
}

bool settings_from_environment(bool has_system_driver, const Settings& previous, Settings* out) {
    std::string text;
    Settings s;
    if (platform::environment_variable("IMVELA_EMULATOR", &text)) {
        parse_camera_list(text, &s.cameras);
    } else if (has_system_driver) {
        return false;
    }
    int32_t n = 0;
    if (platform::environment_variable("IMVELA_EMULATOR_SCENE", &text) && trimmed(text) == "ramp")
        s.camera.scene = Scene::kRamp;
    if (platform::environment_variable("IMVELA_EMULATOR_FPS", &text) && parse_int(trimmed(text), &n) && n >= 0)
        s.camera.fps = n;
    if (platform::environment_variable("IMVELA_EMULATOR_ROM_MODE", &text) && parse_int(trimmed(text), &n))
        s.camera.rom_mode = n & 0xFF;
    if (platform::environment_variable("IMVELA_EMULATOR_TRIGGER_MS", &text) && parse_int(trimmed(text), &n) && n > 0)
        s.camera.trigger_ms = n;
    if (platform::environment_variable("IMVELA_EMULATOR_DEFECTS", &text) && !text.empty()) {
        s.defects_path = text;
        if (text == previous.defects_path && previous.camera.defects)
            s.camera.defects = previous.camera.defects;
        else
            s.camera.defects = std::make_shared<const DefectList>(load_defect_file(text));
    }
    *out = std::move(s);
    return true;
}

}  // namespace imvela::emulator
