// What the property dialogs ask of the camera object: pausing and resuming the capture
// around the camera dialog, and the exposure time the analog dialog shows.
#include "camera/imvela.h"
#include "driver/exposure_conversion.h"

namespace imvela {

int32_t CImvela::pause_capture() {
    std::unique_lock<std::mutex> control = engine_.lock_control();
    const int32_t mode = capture_mode();
    if (mode == kPreviewMode || mode == kCaptureMode) {
        if (device_ && !on_worker_thread()) stop_locked();
    } else if (mode == kTriggerMode) {
        engine_.pause_trigger_locked();
    }
    return mode;
}

void CImvela::resume_capture(int32_t mode) {
    std::unique_lock<std::mutex> control = engine_.lock_control();
    if (mode == kPreviewMode) {
        start_preview_locked();
    } else if (mode == kCaptureMode) {
        if (device_) engine_.capture_locked();
    } else if (mode == kTriggerMode) {
        engine_.resume_trigger_locked();
    }
}

double CImvela::exposure_milliseconds(int32_t lines) {
    return static_cast<double>(lines) * load_relaxed(line_length_) * sensor::kLinePeriodMs;
}

}  // namespace imvela
