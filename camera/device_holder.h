#pragma once
// The holder of a device as the diagnostics report it: the device-use table's record of it,
// completed with what the system says about the holder's process.
#include <cstdint>

#include "ImvelaSdk.h"

namespace imvela {

class DeviceUseTable;

// Fills `holder` (its first version's fields; size and any later fields untouched) for
// device `number`: 0, or the error code (ERR_ARGUMENT for a null record or a number outside
// 0 to 31, ERR_BUFFER for a size below the first version's, ERR_NOT_READY when the table is
// not mapped).
int32_t describe_device_holder(const DeviceUseTable& table, int32_t number, ImvelaDeviceHolder* holder);

}  // namespace imvela
