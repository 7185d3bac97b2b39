#pragma once
// The filter-value identifiers 1 to 28: the one vocabulary by which the exports, the dialogs
// and the settings address adjustable values. Each identifier names where its value lives,
// which values it accepts and whether setting it also programs the sensor.
#include <cstdint>

namespace imvela {

enum FilterValueId : int32_t {
    kFilterBrightness = 1,
    kFilterContrast = 2,
    kFilterHue = 3,
    kFilterSaturation = 4,
    kFilterSharpness = 5,
    kFilterBayerGainRgb = 6,
    kFilterBayerGainRed = 7,
    kFilterBayerGainGreen = 8,
    kFilterBayerGainBlue = 9,
    kFilterBayerGainAuto = 10,
    kFilterGamma = 11,
    kFilterBayerMode = 12,
    kFilterGlobalGain = 13,
    kFilterColorGainRed = 14,
    kFilterColorGainGreen1 = 15,
    kFilterColorGainGreen2 = 16,
    kFilterColorGainBlue = 17,
    kFilterExposureTime = 18,
    kFilterGrayMode = 19,
    kFilterGrayGainR = 20,
    kFilterGrayGainG1 = 21,
    kFilterGrayGainG2 = 22,
    kFilterGrayGainB = 23,
    kFilterGrayOffsetR = 24,
    kFilterGrayOffsetG1 = 25,
    kFilterGrayOffsetG2 = 26,
    kFilterGrayOffsetB = 27,
    kFilterAutoGrayBalance = 28,
};

enum class FilterValueKind {
    kImage,        // a position of the image-processing block, range-tested
    kFlag,         // a position of the image-processing block; any value, stored as 0 or 1
    kPackedGains,  // the three colour gains from bytes 0 (red), 1 (green) and 2 (blue)
    kGlobalGain,   // analog gain index: stored, then programmed; read back from the sensor
    kExposure,     // exposure in lines: stored, then programmed; read back from the sensor
    kZeroAnalog,   // a colour gain of the analog block this sensor does not have: only 0
};

struct FilterValueRule {
    FilterValueKind kind;
    int position;  // in the image-processing block (kImage, kFlag) or the analog block
    int32_t minimum;
    int32_t maximum;

    bool accepts(int32_t value) const { return value >= minimum && value <= maximum; }
};

// The rule of an identifier, or null for one outside 1 to 28.
const FilterValueRule* filter_value_rule(int32_t identifier);

}  // namespace imvela
