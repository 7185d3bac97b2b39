// Exports of the preview placement and the sensor capture window.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetPreviewWindow(int32_t handle, HWND parent, int32_t x, int32_t y, int32_t width,
                                                       int32_t height) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_preview_window(parent, x, y, width, height); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetCaptureWindow(int32_t handle, int32_t width, int32_t height) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_capture_window(width, height); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetCaptureWindowEx(int32_t handle, int32_t total_width, int32_t h_start,
                                                         int32_t effective_width, int32_t total_height, int32_t v_start,
                                                         int32_t effective_height) {
    return with_camera(handle, 0, [&](CImvela& c) {
        return c.set_capture_window_ex(total_width, h_start, effective_width, total_height, v_start, effective_height);
    });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetCaptureWindowEx(int32_t handle, int32_t* total_width, int32_t* h_start,
                                                         int32_t* effective_width, int32_t* total_height,
                                                         int32_t* v_start, int32_t* effective_height) {
    return with_camera(handle, 0, [&](CImvela& c) {
        return c.get_capture_window_ex(total_width, h_start, effective_width, total_height, v_start, effective_height);
    });
}

IMVELA_API int32_t IMVELA_CALL Imvela_Width(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.width(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_Height(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.height(); });
}

}  // extern "C"
