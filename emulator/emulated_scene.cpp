#include "emulator/emulated_scene.h"

#include <algorithm>

namespace imvela::emulator {

namespace {

constexpr uint16_t kBlack = 64;
constexpr uint16_t kBarOn = 1600;
constexpr uint16_t kRampTop = 3000;
constexpr int32_t kBarRows = kSensorRows * 6 / 10;

// Colour of the sample at a sensor position: 0 red, 1 green, 2 blue.
int32_t bayer_colour(int32_t x, int32_t y) {
    const int32_t row_flag = 1 ^ (y & 1);
    const int32_t column_flag = 1 ^ (x & 1);
    if (row_flag == column_flag) return 1;
    return row_flag ? 0 : 2;
}

uint16_t scaled(uint16_t v, int64_t level) {
    return static_cast<uint16_t>(std::min<int64_t>(kFullScale16, (static_cast<int64_t>(v) * level) >> 16));
}

}  // namespace

int64_t scene_level(int32_t exposure_lines, int32_t gain_index) {
    const int64_t lines = std::max(1, exposure_lines);
    return lines * 65536 * (4 + gain_index) / (4 * kReferenceExposure);
}

uint16_t bars_sample(int32_t x, int32_t y) {
    if (y >= kBarRows) return static_cast<uint16_t>(kBlack + (kRampTop - kBlack) * x / (kSensorColumns - 1));
    // white, yellow, cyan, green, magenta, red, blue, black: bit 2 red, bit 1 green, bit 0 blue
    static const uint8_t kBars[8] = {7, 6, 3, 2, 5, 4, 1, 0};
    const uint8_t rgb = kBars[x * 8 / kSensorColumns];
    const int32_t colour = bayer_colour(x, y);
    const bool on = (rgb >> (2 - colour)) & 1;
    return on ? kBarOn : kBlack;
}

void ScenePlanes::prepare(Scene scene, int64_t level) {
    if (valid_ && scene == scene_ && (scene == Scene::kRamp || level == level_)) return;
    const size_t n = static_cast<size_t>(kSensorColumns) * kSensorRows;
    wide_.resize(n);
    narrow_.resize(n);
    if (scene == Scene::kRamp) {
        for (int32_t y = 0; y < kSensorRows; ++y)
            for (int32_t x = 0; x < kSensorColumns; ++x) {
                const size_t i = static_cast<size_t>(y) * kSensorColumns + x;
                wide_[i] = static_cast<uint16_t>((x + 2 * y) % 4096);
                narrow_[i] = static_cast<uint8_t>((x + 2 * y) % 256);
            }
    } else {
        if (base_.empty()) {
            base_.resize(n);
            for (int32_t y = 0; y < kSensorRows; ++y)
                for (int32_t x = 0; x < kSensorColumns; ++x)
                    base_[static_cast<size_t>(y) * kSensorColumns + x] = bars_sample(x, y);
        }
        for (size_t i = 0; i < n; ++i) {
            wide_[i] = scaled(base_[i], level);
            narrow_[i] = static_cast<uint8_t>(wide_[i] >> 4);
        }
    }
    valid_ = true;
    scene_ = scene;
    level_ = level;
}

MovingObject moving_object(uint32_t frame, int64_t level) {
    constexpr int32_t kSize = 64;
    const int32_t span = kSensorColumns - kSize;
    const int32_t step = static_cast<int32_t>((frame * 8u) % static_cast<uint32_t>(2 * span));
    const int32_t x = step < span ? step : 2 * span - step;  // back and forth
    return {x, kBarRows - kSize - 40, kSize, scaled(kRampTop, level)};
}

}  // namespace imvela::emulator
