#pragma once
// Bayer phase: the colour pattern of the first 2 x 2 raw samples, from the Bayer mode setting
// corrected for the sensor's readout mirroring.
#include <cstdint>

namespace imvela {

// The vertical mirror swaps the row parity (bit 0), the horizontal mirror the column parity (bit 1).
constexpr int32_t bayer_phase(int32_t bayerMode, bool verticalMirror, bool horizontalMirror) {
    int32_t phase = bayerMode & 3;
    if (verticalMirror) phase ^= 1;
    if (horizontalMirror) phase ^= 2;
    return phase;
}

}  // namespace imvela
