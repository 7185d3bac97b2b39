#include "imaging/kernel_selection.h"

#include "imaging/color_mode.h"

namespace imvela {

namespace {

// Kernels by mode group: mode 0, mode 1, modes 2 and 3, modes 4 and 5.
struct Row {
    KernelOperation operation;
    PixelKernel kernels[4];
};

constexpr Row kCatalogue[] = {
    {KernelOperation::Demosaic, {DemosaicBayer8, DemosaicBayer16, DemosaicBayer8, DemosaicBayer16}},
    {KernelOperation::DemosaicBorder,
     {DemosaicBayerBorder8, DemosaicBayerBorder16, DemosaicBayerBorder8, DemosaicBayerBorder16}},
    {KernelOperation::MeasureBayerBalance,
     {MeasureBayerBalance8, MeasureBayerBalance16, MeasureBayerBalance8, MeasureBayerBalance16}},
    {KernelOperation::BayerColourSums, {SumBayerColours8, SumBayerColours16, SumBayerColours8, SumBayerColours16}},
    {KernelOperation::MeasureGrayGains, {MeasureGrayGains, MeasureGrayGains, nullptr, nullptr}},
    {KernelOperation::ApplyGrayGains, {ApplyGrayGains8, ApplyGrayGains16, nullptr, nullptr}},
    {KernelOperation::ColorToGray, {ColorToGray, ColorToGray16, nullptr, nullptr}},
    {KernelOperation::HueSaturation, {nullptr, nullptr, AdjustHueSaturation8, AdjustHueSaturation16}},
    {KernelOperation::HueSaturationTone, {nullptr, nullptr, nullptr, AdjustHueSaturationTone16}},
    {KernelOperation::Gamma, {AdjustGammaMono8, AdjustGammaMono16, AdjustGammaColor8, AdjustGammaColor16}},
    {KernelOperation::Contrast, {AdjustContrastMono8, AdjustContrastMono16, AdjustContrastColor8, AdjustContrastColor16}},
    {KernelOperation::Sharpness, {SharpenMono8, SharpenMono16, SharpenColor8, SharpenColor16}},
    {KernelOperation::Brightness,
     {AdjustBrightnessMono8, AdjustBrightnessMono16, AdjustBrightnessColor8, AdjustBrightnessColor16}},
    {KernelOperation::ToneTable, {ApplyTable8, ApplyTable16, ApplyTable8, ApplyTable16}},
    {KernelOperation::RegionAverage, {RegionAverage8, RegionAverage16, RegionAverage8, RegionAverage16}},
    {KernelOperation::RepadRows, {RepadRows8, RepadRows16, RepadRows8, RepadRows16}},
};

// One row per operation, in the enumeration's order (all but PreviewToDisplayable, chosen
// below): an operation added without its row fails the build here.
constexpr bool catalogue_in_order() {
    int index = 0;
    for (const Row& row : kCatalogue)
        if (static_cast<int>(row.operation) != index++) return false;
    return index == static_cast<int>(KernelOperation::PreviewToDisplayable);
}
static_assert(catalogue_in_order(), "kCatalogue needs one row per KernelOperation, in order");

int group_of(int32_t colorMode) { return colorMode <= 1 ? colorMode : (colorMode <= 3 ? 2 : 3); }

}  // namespace

PixelKernel select_kernel(KernelOperation operation, int32_t colorMode) {
    if (colorMode < 0 || colorMode >= kColorModeCount) return nullptr;
    if (operation == KernelOperation::PreviewToDisplayable) {
        switch (colorMode) {
            case 1: return Shift16To8;
            case 3: return Drop32To24;
            case 4:
            case 5: return Shift48To24;
            default: return nullptr;
        }
    }
    for (const Row& row : kCatalogue)
        if (row.operation == operation) return row.kernels[group_of(colorMode)];
    return nullptr;
}

ScaleKernel select_preview_scale_kernel(int32_t colorMode) {
    if (colorMode < 0 || colorMode >= kColorModeCount) return nullptr;
    return colorMode <= 1 ? ScaleFlip8 : ScaleFlip24;
}

}  // namespace imvela
