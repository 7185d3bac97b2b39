// No kernel driver for the camera exists here: the device files cannot be opened and every
// request fails, as on a machine without the camera.
#include "platform/device_file.h"

namespace imvela::platform {

bool has_device_driver() { return false; }

intptr_t device_open(const char*) { return kInvalidDeviceHandle; }

bool device_control(intptr_t, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t* returned) {
    if (returned) *returned = 0;
    return false;
}

bool device_cancel(intptr_t) { return false; }

bool device_close(intptr_t) { return false; }

}  // namespace imvela::platform
