#pragma once
// The two blocks of int32 settings a camera object holds: the analog block (device gains,
// exposure, mirrors, auto iris) and the image-processing block (filter values read by the
// frame pipeline). Filter values, dialogs and the settings store address them by position.
#include <cstdint>

namespace imvela {

struct AnalogBlock {
    static constexpr int kCount = 9;
    enum Position : int {
        kGlobalGain = 0,  // gain index, low byte used
        kColorGainG1 = 1,
        kColorGainR = 2,
        kColorGainB = 3,
        kColorGainG2 = 4,
        kExposure = 5,  // lines, 16 bits used
        kVerticalMirror = 6,
        kHorizontalMirror = 7,
        kAutoIris = 8,  // 0 off, 1 automatic exposure, 2 automatic gain
    };
    int32_t values[kCount] = {};

    int32_t& operator[](int position) { return values[position]; }
    int32_t operator[](int position) const { return values[position]; }
};

struct ImageProcessingBlock {
    static constexpr int kCount = 30;
    enum Position : int {
        kBrightness = 0,
        kContrast = 1,
        kHue = 2,
        kSaturation = 3,
        kSharpness = 4,
        kGainRed = 5,
        kGainGreen = 6,
        kGainBlue = 7,
        kGamma = 8,
        kBayerMode = 9,
        // 10 is not used
        kGrayMode = 11,
        kGrayGainR = 12,
        kGrayGainG1 = 13,
        kGrayGainG2 = 14,
        kGrayGainB = 15,
        kGrayOffsetR = 16,
        kGrayOffsetG1 = 17,
        kGrayOffsetG2 = 18,
        kGrayOffsetB = 19,
        // 20 to 24 are not used
        kAutoColorGain = 25,         // automatic colour gain request, 0 or 1
        kAutoColorGainOneShot1 = 26,  // one-shot flags set by the image adjustment dialog
        kAutoColorGainOneShot2 = 27,
        // 28 is not used
        kAutoGrayBalance = 29,  // automatic gray balance request, 0 or 1
    };
    int32_t values[kCount] = {};

    int32_t& operator[](int position) { return values[position]; }
    int32_t operator[](int position) const { return values[position]; }
};

}  // namespace imvela
