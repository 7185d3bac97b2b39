// No property dialogs here: the settings exports do their work.
#include "platform/property_dialogs.h"

namespace imvela::platform {

bool property_dialogs_available() { return false; }
int32_t run_camera_dialog(HWND, CameraDialogHost&) { return kDialogNotCreated; }
int32_t run_image_dialog(HWND, ImageDialogHost&) { return kDialogNotCreated; }
int32_t run_analog_dialog(HWND, AnalogDialogHost&) { return kDialogNotCreated; }

}  // namespace imvela::platform
