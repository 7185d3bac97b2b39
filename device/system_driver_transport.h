#pragma once
// The kernel driver of the real camera, reached through the system's device-file calls.
#include "driver/driver_transport.h"

namespace imvela {

DriverTransport& system_driver_transport();

}  // namespace imvela
