#pragma once
// What the emulated camera is told by its environment variables:
//   IMVELA_EMULATOR          "0,2,5" cameras at those numbers, "none" no camera; unset: the
//                            system driver where one exists, else one camera at 0
//   IMVELA_EMULATOR_SCENE    "bars" (default) or "ramp"
//   IMVELA_EMULATOR_FPS      frames per second, default 30; 0 answers at once
//   IMVELA_EMULATOR_DEFECTS  defect-pixel file: int32 x, int32 y records, y counted from the bottom
//   IMVELA_EMULATOR_ROM_MODE serial-ROM byte 0x1EB0, default 1
//   IMVELA_EMULATOR_TRIGGER_MS a trigger every N ms while the trigger is armed; 0 none
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace imvela::emulator {

constexpr int32_t kMaxCameras = 36;  // every device file name the driver can make

enum class Scene { kBars, kRamp };

struct SensorPoint {
    int32_t x;  // sensor column 0..1291
    int32_t y;  // sensor row 0..1039, top to bottom
};
using DefectList = std::vector<SensorPoint>;

// What every emulated camera reads while it answers requests.
struct CameraSettings {
    Scene scene = Scene::kBars;
    int32_t fps = 30;
    int32_t rom_mode = 1;
    int32_t trigger_ms = 0;
    std::shared_ptr<const DefectList> defects;  // null: none
};

struct Settings {
    std::vector<int32_t> cameras{0};  // device numbers present
    CameraSettings camera;
    std::string defects_path;         // where camera.defects came from
};

// The longest device-number list read; longer texts name no camera.
constexpr size_t kMaxCameraListLength = 1024;

// Parses the device-number list ("0,2,5", "none"); false (no camera) for a text longer than
// kMaxCameraListLength. Items that are no device number are skipped.
bool parse_camera_list(const std::string& text, std::vector<int32_t>* cameras);

// Reads a defect-pixel file into sensor points (rows turned top to bottom); empty when the
// file cannot be read.
DefectList load_defect_file(const std::string& path);

// Settings from the environment; false when IMVELA_EMULATOR is unset and the system driver
// is to be used. previous supplies the defect list already loaded for the same path.
bool settings_from_environment(bool has_system_driver, const Settings& previous, Settings* out);

}  // namespace imvela::emulator
