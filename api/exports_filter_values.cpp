// Exports of the filter values: the identifier pair and the named setters and getters, each
// of which is the pair with a fixed identifier.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/filter_value_table.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetFilterValue(int32_t handle, int32_t identifier, int32_t value) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_filter_value(identifier, value); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetFilterValue(int32_t handle, int32_t identifier, int32_t* ok) {
    if (ok) *ok = 0;  // also for an unknown handle
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_filter_value(identifier, ok); });
}

#define IMVELA_NAMED_FILTER_VALUE(Name, identifier)                                                 \
    IMVELA_API int32_t IMVELA_CALL Imvela_Set##Name(int32_t handle, int32_t value) {               \
        return Imvela_SetFilterValue(handle, imvela::identifier, value);                           \
    }                                                                                              \
    IMVELA_API int32_t IMVELA_CALL Imvela_Get##Name(int32_t handle, int32_t* ok) {                 \
        return Imvela_GetFilterValue(handle, imvela::identifier, ok);                              \
    }

IMVELA_NAMED_FILTER_VALUE(Brightness, kFilterBrightness)
IMVELA_NAMED_FILTER_VALUE(Contrast, kFilterContrast)
IMVELA_NAMED_FILTER_VALUE(Hue, kFilterHue)
IMVELA_NAMED_FILTER_VALUE(Saturation, kFilterSaturation)
IMVELA_NAMED_FILTER_VALUE(Sharpness, kFilterSharpness)
IMVELA_NAMED_FILTER_VALUE(BayerGainRGB, kFilterBayerGainRgb)
IMVELA_NAMED_FILTER_VALUE(BayerGainRed, kFilterBayerGainRed)
IMVELA_NAMED_FILTER_VALUE(BayerGainGreen, kFilterBayerGainGreen)
IMVELA_NAMED_FILTER_VALUE(BayerGainBlue, kFilterBayerGainBlue)
IMVELA_NAMED_FILTER_VALUE(BayerGainAuto, kFilterBayerGainAuto)
IMVELA_NAMED_FILTER_VALUE(Gamma, kFilterGamma)
IMVELA_NAMED_FILTER_VALUE(BayerMode, kFilterBayerMode)
IMVELA_NAMED_FILTER_VALUE(GlobalGain, kFilterGlobalGain)
IMVELA_NAMED_FILTER_VALUE(ColorGainRed, kFilterColorGainRed)
IMVELA_NAMED_FILTER_VALUE(ColorGainGreen1, kFilterColorGainGreen1)
IMVELA_NAMED_FILTER_VALUE(ColorGainGreen2, kFilterColorGainGreen2)
IMVELA_NAMED_FILTER_VALUE(ColorGainBlue, kFilterColorGainBlue)
IMVELA_NAMED_FILTER_VALUE(ExposureTime, kFilterExposureTime)
IMVELA_NAMED_FILTER_VALUE(GrayMode, kFilterGrayMode)
IMVELA_NAMED_FILTER_VALUE(GrayGainR, kFilterGrayGainR)
IMVELA_NAMED_FILTER_VALUE(GrayGainG1, kFilterGrayGainG1)
IMVELA_NAMED_FILTER_VALUE(GrayGainG2, kFilterGrayGainG2)
IMVELA_NAMED_FILTER_VALUE(GrayGainB, kFilterGrayGainB)
IMVELA_NAMED_FILTER_VALUE(GrayOffsetR, kFilterGrayOffsetR)
IMVELA_NAMED_FILTER_VALUE(GrayOffsetG1, kFilterGrayOffsetG1)
IMVELA_NAMED_FILTER_VALUE(GrayOffsetG2, kFilterGrayOffsetG2)
IMVELA_NAMED_FILTER_VALUE(GrayOffsetB, kFilterGrayOffsetB)

#undef IMVELA_NAMED_FILTER_VALUE

}  // extern "C"
