#pragma once
// The three modal property dialogs of a camera: video format, image adjustment, analog gain.
// Each runs on the calling thread and answers as its export does: 1 when it ran (whatever the
// user chose); 0 with error 1 without a device or while a dialog of its kind is already open
// on the camera, error 4 when it could not be created, error 11 where there are no dialogs.
#include <cstdint>

#include "ImvelaSdk.h"

namespace imvela {

class CImvela;

int32_t show_camera_dialog(CImvela& camera, HWND parent);
int32_t show_image_dialog(CImvela& camera, HWND parent);
int32_t show_analog_dialog(CImvela& camera, HWND parent);

}  // namespace imvela
