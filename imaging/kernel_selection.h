#pragma once
// Which kernel serves which operation in which colour mode (index 0..5).
#include <cstdint>

#include "imaging/kernel_catalogue.h"

namespace imvela {

// The demosaic and white-balance rows serve modes 0 and 1 too: the luminance gray mode
// demosaics the raw frame into a colour buffer of the same sample size first.
enum class KernelOperation {
    Demosaic,             // inner area
    DemosaicBorder,       // two-pixel border
    MeasureBayerBalance,  // on the raw buffer
    BayerColourSums,      // the balance measurement's colour sums of one row band (raw buffer)
    MeasureGrayGains,
    ApplyGrayGains,
    ColorToGray,
    HueSaturation,
    HueSaturationTone,  // hue and saturation, then a tone table, in one pass (HueToneBlock)
    Gamma,
    Contrast,
    Sharpness,
    Brightness,
    ToneTable,  // gamma and contrast as one table (TableBlock or Table16Block)
    RegionAverage,  // on the raw buffer
    RepadRows,      // on the raw buffer
    PreviewToDisplayable,  // chosen by colour mode alone; stays last (new operations go above it)
};

// The kernel for an operation in a colour mode, or nullptr where the operation does not run.
PixelKernel select_kernel(KernelOperation operation, int32_t colorMode);

// The scaling kernel that paints the preview in a colour mode, or nullptr for an invalid mode.
ScaleKernel select_preview_scale_kernel(int32_t colorMode);

}  // namespace imvela
