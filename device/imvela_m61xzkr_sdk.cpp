#include "device/imvela_m61xzkr_sdk.h"

#include <cstring>

#include "driver/sensor_map.h"

namespace imvela {

CImvelaM61XZKRSdk::CImvelaM61XZKRSdk(DriverTransport& transport, bool leave_device0_alone) : CIVMSdkLib(transport) {
    std::strcpy(prefix_, driver::kDevicePrefix);
    leave_device_alone(leave_device0_alone);
    enumerate_devices();
    // Without a camera at 0 every later request fails and says so.
    static_cast<void>(open_device(0));
}

int32_t CImvelaM61XZKRSdk::SetReadoutMode(int32_t mode) {
    readout_mode_ = mode > 2 ? 1 : mode;
    int32_t value = 0;
    if (!read_register(sensor::kRegReadoutMode, &value)) return 0;
    value = readout_mode_ != 0 ? (value | 1) : (value & ~1);
    return write_register(sensor::kRegReadoutMode, value);
}

int32_t CImvelaM61XZKRSdk::SetSampleWidth(int32_t two_byte) {
    two_byte_ = two_byte ? 1 : 0;
    return send_command_record(driver::sample_width_command(1)) &&
                   write_port(sensor::kPortSampleFormat,
                              two_byte_ ? sensor::kSampleFormatTwoByte : sensor::kSampleFormatOneByte)
               ? 1
               : 0;
}

}  // namespace imvela
