#pragma once
// CImvelaM61XZKRSdk: the device class of this camera model. Construction finds the cameras
// and opens device 0 (its failure is not reported: every later request then fails); with
// `leave_device0_alone` it sends device 0 nothing and stays so (leave_device_alone) until
// told otherwise.
#include "device/ivm_sdk_lib.h"

namespace imvela {

class CImvelaM61XZKRSdk : public CIVMSdkLib {
public:
    explicit CImvelaM61XZKRSdk(DriverTransport& transport, bool leave_device0_alone = false);

    // Stores the mode (values above 2 as 1) and programs bit 0 of register 0x50; 1 when the
    // register write succeeded.
    [[nodiscard]] int32_t SetReadoutMode(int32_t mode) override;
    // The controller always streams two-byte words; port register 14 chooses what they carry.
    [[nodiscard]] int32_t SetSampleWidth(int32_t two_byte) override;
};

}  // namespace imvela
