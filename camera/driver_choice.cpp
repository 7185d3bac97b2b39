#include "camera/driver_choice.h"

#include "device/system_driver_transport.h"
#include "emulator/emulated_driver.h"
#include "platform/device_file.h"

namespace imvela {

DriverTransport& choose_driver_transport() {
    if (emulator::refresh_from_environment(platform::has_device_driver())) return emulator::emulated_driver();
    return system_driver_transport();
}

}  // namespace imvela
