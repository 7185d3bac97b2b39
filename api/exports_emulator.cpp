// Exports through which test rigs drive the emulated cameras.
#include "ImvelaSdk.h"
#include "emulator/emulated_driver.h"
#include "platform/device_file.h"

namespace {

// The camera at the number when the emulator is in use and names it, else null (also when
// the environment could not be read for lack of memory).
imvela::emulator::EmulatedCamera* emulated_camera(int32_t number) noexcept {
    try {
        if (!imvela::emulator::refresh_from_environment(imvela::platform::has_device_driver())) return nullptr;
        return imvela::emulator::emulated_driver().camera(number);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

extern "C" {

IMVELA_API int32_t IMVELA_CALL ImvelaEmu_Trigger(int32_t device_number) {
    auto* camera = emulated_camera(device_number);
    return camera ? camera->trigger() : 0;
}

IMVELA_API int32_t IMVELA_CALL ImvelaEmu_InjectFault(int32_t device_number, int32_t kind, int32_t count) {
    auto* camera = emulated_camera(device_number);
    return camera ? camera->inject_fault(kind, count) : 0;
}

IMVELA_API int32_t IMVELA_CALL ImvelaEmu_Replug(int32_t device_number) {
    auto* camera = emulated_camera(device_number);
    if (!camera) return 0;
    camera->replug();
    return 1;
}

IMVELA_API int32_t IMVELA_CALL ImvelaEmu_ReadRegister(int32_t device_number, int32_t address) {
    auto* camera = emulated_camera(device_number);
    return camera ? camera->read_register(address) : -1;
}

IMVELA_API int32_t IMVELA_CALL ImvelaEmu_ReadPort(int32_t device_number, int32_t port) {
    auto* camera = emulated_camera(device_number);
    return camera ? camera->read_port(port) : -1;
}

IMVELA_API int32_t IMVELA_CALL ImvelaEmu_FrameCount(int32_t device_number) {
    auto* camera = emulated_camera(device_number);
    return camera ? camera->frame_count() : -1;
}

}  // extern "C"
