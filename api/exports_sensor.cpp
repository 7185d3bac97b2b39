// Exports of the mirrors, the exposure in microseconds, the sensor registers, the serial
// ROM's identifier area and the I/O port.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

namespace {

// The short register exports address only the registers 0x00 to 0xFF.
constexpr int32_t kShortAddressMask = 0xFF;

}  // namespace

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetMirrorH(int32_t handle, int32_t on) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_mirror_h(on); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetMirrorH(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.get_mirror_h(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetMirrorV(int32_t handle, int32_t on) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_mirror_v(on); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetMirrorV(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.get_mirror_v(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetRealExposureTime(int32_t handle, int32_t microseconds) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_real_exposure_time(microseconds); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_ReadRegister(int32_t handle, int32_t address, int32_t* ok) {
    if (ok) *ok = 0;  // also for an unknown handle
    return with_camera(handle, 0, [&](CImvela& c) { return c.read_register(address & kShortAddressMask, ok); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_ReadRegisterEx(int32_t handle, int32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    return with_camera(handle, 0, [&](CImvela& c) { return c.read_register(address, ok); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_WriteRegister(int32_t handle, int32_t address, int32_t value) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.write_register(address & kShortAddressMask, value); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_WriteRegisterEx(int32_t handle, int32_t address, int32_t value) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.write_register(address, value); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_ReadSromID(int32_t handle, int32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    return with_camera(handle, 0, [&](CImvela& c) { return c.read_srom_id(address, ok); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_WriteSromID(int32_t handle, int32_t address, int32_t value) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.write_srom_id(address, value); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetIOPort(int32_t handle, uint8_t* value, int32_t, int32_t) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_io_port(value); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetIOPort(int32_t handle, int32_t value) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_io_port(value); });
}

}  // extern "C"
