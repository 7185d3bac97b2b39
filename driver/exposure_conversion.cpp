#include "driver/exposure_conversion.h"

#include <cmath>

#include "driver/sensor_map.h"

namespace imvela::sensor {

bool lines_from_microseconds(int32_t microseconds, int32_t length, int32_t* lines) {
    if (length <= 0) return false;
    const double value = std::trunc(static_cast<double>(microseconds) / 1000.0 / (length * kLinePeriodMs));
    if (!(value >= kExposureMin && value <= kExposureMax)) return false;
    *lines = static_cast<int32_t>(value);
    return true;
}

int32_t microseconds_from_lines(int32_t lines, int32_t length) {
    const double value = std::trunc(static_cast<double>(lines) * length * kLinePeriodMs * 1000.0);
    // Any line count and length this sensor can hold stays far inside int32.
    if (!(value > -2147483648.0 && value < 2147483647.0)) return 0;
    return static_cast<int32_t>(value);
}

}  // namespace imvela::sensor
