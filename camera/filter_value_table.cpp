#include "camera/filter_value_table.h"

#include <limits>

#include "settings/setting_blocks.h"
#include "driver/sensor_map.h"

namespace imvela {

namespace {

using Image = ImageProcessingBlock;
using Analog = AnalogBlock;
using K = FilterValueKind;
constexpr int32_t kAny = std::numeric_limits<int32_t>::max();
constexpr int32_t kAnyLow = std::numeric_limits<int32_t>::min();

// Indexed by identifier - 1.
constexpr FilterValueRule kRules[] = {
    {K::kImage, Image::kBrightness, -255, 255},
    {K::kImage, Image::kContrast, -127, 127},
    {K::kImage, Image::kHue, -360, 360},
    {K::kImage, Image::kSaturation, -255, 255},
    {K::kImage, Image::kSharpness, 0, 30},
    {K::kPackedGains, Image::kGainRed, kAnyLow, kAny},
    {K::kImage, Image::kGainRed, 0, 400},
    {K::kImage, Image::kGainGreen, 0, 400},
    {K::kImage, Image::kGainBlue, 0, 400},
    {K::kFlag, Image::kAutoColorGain, kAnyLow, kAny},
    {K::kImage, Image::kGamma, 0, 200},
    {K::kImage, Image::kBayerMode, 0, 3},
    {K::kGlobalGain, Analog::kGlobalGain, sensor::kGainMin, sensor::kGainMax},
    {K::kZeroAnalog, Analog::kColorGainR, 0, 0},
    {K::kZeroAnalog, Analog::kColorGainG1, 0, 0},
    {K::kZeroAnalog, Analog::kColorGainG2, 0, 0},
    {K::kZeroAnalog, Analog::kColorGainB, 0, 0},
    {K::kExposure, Analog::kExposure, sensor::kExposureMin, sensor::kExposureMax},
    {K::kImage, Image::kGrayMode, 0, 2},
    {K::kImage, Image::kGrayGainR, 0, 255},
    {K::kImage, Image::kGrayGainG1, 0, 255},
    {K::kImage, Image::kGrayGainG2, 0, 255},
    {K::kImage, Image::kGrayGainB, 0, 255},
    {K::kImage, Image::kGrayOffsetR, -255, 255},
    {K::kImage, Image::kGrayOffsetG1, -255, 255},
    {K::kImage, Image::kGrayOffsetG2, -255, 255},
    {K::kImage, Image::kGrayOffsetB, -255, 255},
    {K::kImage, Image::kAutoGrayBalance, 0, 1},
};
static_assert(sizeof kRules / sizeof kRules[0] == kFilterAutoGrayBalance, "one rule per identifier");

}  // namespace

const FilterValueRule* filter_value_rule(int32_t identifier) {
    if (identifier < kFilterBrightness || identifier > kFilterAutoGrayBalance) return nullptr;
    return &kRules[identifier - 1];
}

}  // namespace imvela
