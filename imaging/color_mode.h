#pragma once
// Colour modes: index 0..5 of the delivered image format.
#include <cstdint>

namespace imvela {

constexpr int32_t kColorModeCount = 6;

// Bits per pixel of the delivered image by colour mode (what Imvela_SetColorMode accepts).
constexpr int32_t kColorModeBits[kColorModeCount] = {8, 16, 24, 32, 48, 64};
// What Imvela_GetColorMode reports: significant bits, not storage bits, for 16-bit samples.
constexpr int32_t kColorModeReported[kColorModeCount] = {8, 12, 24, 32, 44, 60};

// The colour mode index for a bit depth, or -1 for a depth the library does not deliver.
constexpr int32_t color_mode_from_bits(int32_t bits) {
    for (int32_t i = 0; i < kColorModeCount; ++i)
        if (kColorModeBits[i] == bits) return i;
    return -1;
}

// Imvela_GetColorMode's figure for an index, or -1 for an index outside 0..5.
constexpr int32_t color_mode_reported(int32_t index) {
    return index >= 0 && index < kColorModeCount ? kColorModeReported[index] : -1;
}

}  // namespace imvela

namespace imvela {

// Whether the delivered image of a colour mode is demosaiced (modes 2 to 5).
constexpr bool color_mode_is_color(int32_t index) { return index >= 2 && index < kColorModeCount; }

// Bits per raw sample the device transfers in a colour mode: 16 in modes 1, 4 and 5, else 8.
constexpr int32_t color_mode_raw_bits(int32_t index) { return index == 1 || index == 4 || index == 5 ? 16 : 8; }

}  // namespace imvela
