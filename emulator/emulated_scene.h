#pragma once
// The picture in front of the emulated sensor, kept as whole precomputed sensor planes (one-
// and two-byte samples) so that a frame is row copies only.
//   ramp: sample at column X, row Y is (X + 2Y) mod 256 (one byte) or mod 4096 (two bytes)
//   bars: colour bars over a gray ramp as a Bayer mosaic (green-red / blue-green from the
//         sensor's top left), 12 significant bits, level proportional to exposure and gain
#include <cstdint>
#include <vector>

#include "driver/sensor_map.h"
#include "emulator/emulator_settings.h"

namespace imvela::emulator {

constexpr int32_t kSensorColumns = sensor::kColumns;
constexpr int32_t kSensorRows = sensor::kRows;
// The exposure at which the picture has its nominal level: the sensor's default.
constexpr int32_t kReferenceExposure = sensor::kExposureDefault;
constexpr uint16_t kFullScale16 = 4095;
constexpr uint8_t kFullScale8 = 255;

// Brightness factor in 1/65536 for exposure lines and gain index (0..11).
int64_t scene_level(int32_t exposure_lines, int32_t gain_index);

// Level of the bars picture at unity, 12 bits, at a sensor position.
uint16_t bars_sample(int32_t x, int32_t y);

class ScenePlanes {
public:
    // Renders the planes unless they already show this scene at this level. The first call
    // allocates; later calls reuse the memory.
    void prepare(Scene scene, int64_t level);
    const uint16_t* row16(int32_t y) const { return &wide_[static_cast<size_t>(y) * kSensorColumns]; }
    const uint8_t* row8(int32_t y) const { return &narrow_[static_cast<size_t>(y) * kSensorColumns]; }

private:
    std::vector<uint16_t> base_;  // bars at unity
    std::vector<uint16_t> wide_;
    std::vector<uint8_t> narrow_;
    bool valid_ = false;
    Scene scene_ = Scene::kBars;
    int64_t level_ = 0;
};

// The moving object of the bars picture: a bright square that crosses the sensor.
struct MovingObject {
    int32_t x, y, size;
    uint16_t value16;
};
MovingObject moving_object(uint32_t frame, int64_t level);

}  // namespace imvela::emulator
