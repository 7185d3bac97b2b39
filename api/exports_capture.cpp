// Exports of the capture engine: preview, single frames, trigger, the delivered image and
// recording.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_Preview(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.preview(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_CallBackPreview(int32_t handle, HWND callback_window, void* buffer, int32_t size,
                                                      int32_t top_down) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.callback_preview(callback_window, buffer, size, top_down); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_StartPreview(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.start_preview(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_StopPreview(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.stop_preview(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_Capture(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.capture(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SnapShot(int32_t handle, void* buffer, int32_t size, int32_t top_down) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.snap_shot(buffer, size, top_down); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_Trigger(int32_t handle, HWND callback_window, void* buffer, int32_t size,
                                              int32_t top_down) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.trigger(callback_window, buffer, size, top_down); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetImage(int32_t handle, void* buffer, int32_t size, int32_t top_down) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_image(buffer, size, top_down); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_Close(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.close(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_Record(int32_t handle, const char* path, uint32_t milliseconds, int32_t show_window) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.record(path, milliseconds, show_window); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_RecordW(int32_t handle, const IMVELA_WCHAR* path, uint32_t milliseconds,
                                              int32_t show_window) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.record_w(path, milliseconds, show_window); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetStatus(int32_t, int32_t) { return 0; }

IMVELA_API int32_t IMVELA_CALL Imvela_GetRealExposureTime(int32_t handle, int32_t* ok) {
    if (ok) *ok = 0;
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_real_exposure_time(ok); });
}

}  // extern "C"
