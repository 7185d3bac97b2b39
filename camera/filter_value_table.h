#pragma once
// The filter-value identifiers 1 to 28: the one vocabulary by which the exports, the dialogs
// and the settings address adjustable values. Each identifier names where its value lives,
// which values it accepts and whether setting it also programs the sensor.
#include <cstdint>

#include "settings/filter_values.h"

namespace imvela {

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

// The rule of an identifier, or null for one outside the list.
const FilterValueRule* filter_value_rule(int32_t identifier);

}  // namespace imvela
