#pragma once
// CImvelaM61XZKRSdk: the device class of this camera model, the M52 variant ZKR (driver files
// "OvixM52ZKR-N"). "M61X" in its name is not a different camera: the name is one the library's
// design fixes for this model's device class, so it stays although the model is the M52. Over
// the base class CIVMSdkLib it sets the driver prefix and the model's readout mode and sample
// width.
//
// Construction finds the cameras and opens device 0 (its failure is not reported: every later
// request then fails); with `leave_device0_alone` it sends device 0 nothing and stays so
// (leave_device_alone) until told otherwise.
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
