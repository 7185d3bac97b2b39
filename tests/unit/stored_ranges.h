#pragma once
// Every value of the settings store: its key below Camera_00 ("" for the video format), its
// name, where it loads to (a block position, or a video-format field), its range, and what a
// value outside the range loads as (the mirrors: the device's state, given as 1; the video
// format: the field as it was, given as 4 or, for the clock, 1).
#include <cstdint>
#include <vector>

#include "settings/setting_blocks.h"

struct StoredRange {
    const char* key;
    const char* name;
    int position;
    int32_t minimum, maximum, fallback;
};
enum VideoField { kColorField, kSubSampleField, kWaitTimeField, kClockField, kSizeField };

inline const std::vector<StoredRange>& stored_ranges() {
    using P = imvela::ImageProcessingBlock;
    using A = imvela::AnalogBlock;
    static const std::vector<StoredRange> table = {
        {"Gain", "Global", A::kGlobalGain, 0, 11, 0}, {"Gain", "ColorG1", A::kColorGainG1, 0, 11, 0},
        {"Gain", "ColorR", A::kColorGainR, 0, 11, 0}, {"Gain", "ColorB", A::kColorGainB, 0, 11, 0},
        {"Gain", "ColorG2", A::kColorGainG2, 0, 11, 0}, {"Gain", "Exposure", A::kExposure, 1, 32767, 637},
        {"Gain", "V_Mirror", A::kVerticalMirror, 0, 1, 1}, {"Gain", "H_Mirror", A::kHorizontalMirror, 0, 1, 1},
        {"Gain", "AutoIris", A::kAutoIris, 0, 2, 0},
        {"Filter", "Brightness", P::kBrightness, -255, 255, 0}, {"Filter", "Contrast", P::kContrast, -127, 127, 0},
        {"Filter", "Hue", P::kHue, -360, 360, 0}, {"Filter", "Saturation", P::kSaturation, -255, 255, 0},
        {"Filter", "Sharpness", P::kSharpness, 0, 30, 0}, {"Filter", "R_Gain", P::kGainRed, 0, 400, 100},
        {"Filter", "G_Gain", P::kGainGreen, 0, 400, 100}, {"Filter", "B_Gain", P::kGainBlue, 0, 400, 100},
        {"Filter", "Gamma", P::kGamma, 0, 200, 100}, {"Filter", "BayerMode", P::kBayerMode, 0, 3, 3},
        {"Gray", "Mode", P::kGrayMode, 0, 2, 0}, {"Gray", "GainR1", P::kGrayGainR, 0, 255, 128},
        {"Gray", "GainG1", P::kGrayGainG1, 0, 255, 128}, {"Gray", "GainG2", P::kGrayGainG2, 0, 255, 128},
        {"Gray", "GainB1", P::kGrayGainB, 0, 255, 128}, {"Gray", "OffsetR1", P::kGrayOffsetR, -255, 255, 0},
        {"Gray", "OffsetG1", P::kGrayOffsetG1, -255, 255, 0}, {"Gray", "OffsetG2", P::kGrayOffsetG2, -255, 255, 0},
        {"Gray", "OffsetB1", P::kGrayOffsetB, -255, 255, 0},
        {"", "Color", kColorField, 0, 5, 4}, {"", "SubSample", kSubSampleField, 0, 19, 4},
        {"", "WaitTime", kWaitTimeField, 0, INT32_MAX, 4}, {"", "Clock", kClockField, 0, 2, 1},
        {"", "Size", kSizeField, INT32_MIN, INT32_MAX, 4},  // any: a missing entry reads nothing
    };
    return table;
}

// The poisons tried on a value: the integer extremes, -1, and each bound with its neighbours
// (those that fit 32 bits).
inline std::vector<int32_t> poisons(const StoredRange& v) {
    std::vector<int32_t> values;
    for (const int64_t p : {int64_t{INT32_MIN}, int64_t{INT32_MAX}, int64_t{-1}, int64_t{v.minimum} - 1,
                            int64_t{v.minimum}, int64_t{v.minimum} + 1, int64_t{v.maximum} - 1, int64_t{v.maximum},
                            int64_t{v.maximum} + 1})
        if (p >= INT32_MIN && p <= INT32_MAX) values.push_back(static_cast<int32_t>(p));
    return values;
}
