#pragma once
// The white-box tests' way into a camera object's private state (CImvela befriends it).
// Defined once here so that every test file sees the same class.
#include "camera/device_use_table.h"
#include "camera/imvela.h"

namespace imvela {

struct CImvelaTestAccess {
    static DeviceUseTable& use_table(CImvela& c) { return c.use_table_; }
    static void set_capture_mode(CImvela& c, int32_t mode) { c.capture_mode_.store(mode); }
};

}  // namespace imvela
