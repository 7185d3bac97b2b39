#pragma once
// Instruction-set variants of the pixel kernels. The kernel sources are compiled once per
// variant (the build adds the processor flags and names the variant); each compilation puts
// its kernels into the namespace imvela::<variant>. The kernels of the catalogue forward to
// the variant chosen once when the library loads, from the processor's features.
#include <cstdint>

#include "imaging/kernel_catalogue.h"

#ifndef IMVELA_KERNEL_VARIANT
#define IMVELA_KERNEL_VARIANT baseline
#endif

// Every kernel that exists per variant.
#define IMVELA_VARIANT_KERNELS(X)                                                                   \
    X(DemosaicBayer8) X(DemosaicBayerBorder8) X(DemosaicBayer16) X(DemosaicBayerBorder16)           \
    X(MeasureBayerBalance8) X(MeasureBayerBalance16) X(SumBayerColours8) X(SumBayerColours16)       \
    X(MeasureGrayGains) X(ApplyGrayGains8) X(ApplyGrayGains16) X(ColorToGray) X(ColorToGray16)      \
    X(AdjustHueSaturation8)                                                                         \
    X(AdjustHueSaturation16) X(AdjustHueSaturationTone16) X(AdjustGammaMono8) X(AdjustGammaMono16) X(AdjustGammaColor8)          \
    X(AdjustGammaColor16) X(AdjustContrastMono8) X(AdjustContrastMono16) X(AdjustContrastColor8)    \
    X(AdjustContrastColor16) X(AdjustBrightnessMono8) X(AdjustBrightnessMono16)                     \
    X(AdjustBrightnessColor8) X(AdjustBrightnessColor16) X(SharpenMono8) X(SharpenMono16)           \
    X(SharpenColor8) X(SharpenColor16) X(SharpenInPlace) X(FlipRows) X(FlipRows24) X(Drop32To24)    \
    X(Shift16To8) X(ReduceMono16Flip12) X(ReduceMono16Flip10) X(Shift48To24)                        \
    X(ReduceColor16Flip10) X(ReduceColor16Flip12) X(ExpandMono16By4) X(ExpandMono16By6)             \
    X(ExpandColor48By4) X(ExpandColor48By6) X(ExpandColor48SwapBy4) X(ExpandColor48SwapBy6)         \
    X(ExpandColor64By4) X(ExpandColor64By6) X(ExpandColor64SwapBy4) X(ExpandColor64SwapBy6)         \
    X(SwapRedBlue24) X(InvertAlpha32) X(RegionAverage8) X(RegionAverage16) X(ApplyTable8)           \
    X(ApplyTable16)

namespace imvela {

// One variant's kernels.
struct KernelVariant {
    const char* name;
#define IMVELA_VARIANT_MEMBER(k) PixelKernel k;
    IMVELA_VARIANT_KERNELS(IMVELA_VARIANT_MEMBER)
#undef IMVELA_VARIANT_MEMBER
};

// The variants this build holds, baseline first, and whether this processor runs each.
int32_t kernel_variant_count();
const KernelVariant& kernel_variant(int32_t index);
bool kernel_variant_supported(int32_t index);
// The variant the catalogue's kernels forward to: the newest this processor runs, unless
// use_kernel_variant chose another.
const KernelVariant& active_kernel_variant();
// Makes variant `index` the one every kernel call of the process forwards to, from the next
// call on (the variants give the same bytes, so frames in flight are not affected); false,
// changing nothing, for a variant this processor cannot run.
bool use_kernel_variant(int32_t index);
// The index of the variant chosen at load, and of the one in use now.
int32_t newest_kernel_variant();
int32_t active_kernel_variant_index();

#define IMVELA_VARIANT_DECLARE(k) IMVELA_PIXEL_KERNEL(k);
namespace IMVELA_KERNEL_VARIANT {
IMVELA_VARIANT_KERNELS(IMVELA_VARIANT_DECLARE)
extern const KernelVariant kKernels;
}  // namespace IMVELA_KERNEL_VARIANT
#undef IMVELA_VARIANT_DECLARE

}  // namespace imvela
