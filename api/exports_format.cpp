// Exports of the image format settings.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"
#include "imaging/color_mode.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetColorMode(int32_t handle, int32_t bits) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_color_mode(bits); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetColorMode(int32_t handle) {
    return with_camera(handle, -1, [](CImvela& c) { return imvela::color_mode_reported(c.color_mode()); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetSubSample(int32_t handle, int32_t mode) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_sub_sample(mode); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetSubSample(int32_t handle) {
    return with_camera(handle, -1, [](CImvela& c) { return c.sub_sample(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetWaitTime(int32_t handle, int32_t milliseconds) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_wait_time(milliseconds); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetWaitTime(int32_t handle) {
    return with_camera(handle, -1, [](CImvela& c) { return c.wait_time(); });
}

// Also exported as Imvela_GetSamplingRate: this model has one fixed format.
IMVELA_API int32_t IMVELA_CALL Imvela_GetVideoFormat(int32_t handle, int32_t* value) {
    return with_camera(handle, 0, [&](CImvela&) {
        if (value) *value = 0;
        return 0;
    });
}

}  // extern "C"
