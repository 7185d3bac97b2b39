// Exports of the property dialogs.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"
#include "dialogs/property_dialogs.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetCameraDlg(int32_t handle, HWND parent) {
    return with_camera(handle, 0, [&](CImvela& c) { return imvela::show_camera_dialog(c, parent); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetImageDlg(int32_t handle, HWND parent) {
    return with_camera(handle, 0, [&](CImvela& c) { return imvela::show_image_dialog(c, parent); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetAnalogDlg(int32_t handle, HWND parent) {
    return with_camera(handle, 0, [&](CImvela& c) { return imvela::show_analog_dialog(c, parent); });
}

}  // extern "C"
