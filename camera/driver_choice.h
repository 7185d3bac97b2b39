#pragma once
// Which driver the camera objects talk to: the real camera's or the emulated one.
#include "driver/driver_transport.h"

namespace imvela {

// Chosen from IMVELA_EMULATOR (and the emulator's other variables, which are read into it)
// when called: unset means the system driver where one exists and otherwise the emulator
// with one camera at device number 0; any value selects the emulator with the cameras it
// names. Camera objects ask at initialisation, enumeration and device choice.
DriverTransport& choose_driver_transport();

}  // namespace imvela
