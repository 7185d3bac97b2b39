#include "settings/capture_window.h"

namespace imvela {

bool is_valid_capture_window(const CaptureWindow& w, int32_t sub_sample) {
    if (w.width < 0 || w.height < 0 || w.h_start < 0 || w.v_start < 0) return false;
    // Compared in 64 bits: start + width must not wrap for values near INT32_MAX.
    if (w.width > kSensorWidth || w.h_start > kSensorWidth ||
        static_cast<int64_t>(w.h_start) + w.width > kSensorWidth)
        return false;
    if (w.height > kSensorHeight || w.v_start > kSensorHeight ||
        static_cast<int64_t>(w.v_start) + w.height > kSensorHeight)
        return false;
    switch (sub_sample) {
        case 1: case 2: case 3: case 17: case 18: case 19: return false;
        default: return true;
    }
}

}  // namespace imvela
