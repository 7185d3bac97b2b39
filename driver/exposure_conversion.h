#pragma once
// Exposure lines <-> microseconds. One line lasts (register 0x2E + 6) periods of 12.5 ns;
// the period is kept as the single-precision value of 1.25e-5 ms widened to double, so the
// results match the camera's own figures to the microsecond.
#include <cstdint>

namespace imvela::sensor {

constexpr double kLinePeriodMs = static_cast<double>(1.25e-5f);

// Line length in periods from register 0x2E (0 when the register could not be read).
constexpr int32_t line_length(bool read_ok, int32_t register_2e) { return read_ok ? register_2e + 6 : 0; }

// Lines for an exposure time; false (lines untouched) when the result is outside 1..32767
// or the line length is 0.
bool lines_from_microseconds(int32_t microseconds, int32_t line_length, int32_t* lines);

// Microseconds for an exposure in lines (0 when the line length is 0).
int32_t microseconds_from_lines(int32_t lines, int32_t line_length);

}  // namespace imvela::sensor
