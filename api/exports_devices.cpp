// Exports that find, name and choose the camera devices.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_EnumDevice(int32_t handle, char names[][256]) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.enum_device(names); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_EnumDeviceW(int32_t handle, IMVELA_WCHAR names[][256]) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.enum_device_w(names); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetDeviceName(int32_t handle, int32_t number, char* buffer, int32_t length) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_device_name(number, buffer, length); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetDeviceNameW(int32_t handle, int32_t number, IMVELA_WCHAR* buffer,
                                                     int32_t length) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_device_name_w(number, buffer, length); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetDeviceNumber(int32_t handle, int32_t number) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_device_number(number); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetCameraInfo(int32_t handle, ImvelaCameraInfo* info) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_camera_info(info); });
}

}  // extern "C"
