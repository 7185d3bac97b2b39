// What the property dialogs ask of the camera object: pausing and resuming the capture
// around the camera dialog, and the exposure time the analog dialog shows.
#include "camera/imvela.h"
#include "driver/exposure_conversion.h"

namespace imvela {

int32_t CImvela::pause_capture() {
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    const int32_t mode = capture_mode();
    if (mode == kPreviewMode || mode == kCaptureMode) {
        stop_preview();
    } else if (mode == kTriggerMode) {
        int32_t running = kRun;
        run_state_.compare_exchange_strong(running, kPaused);
    }
    return mode;
}

void CImvela::resume_capture(int32_t mode) {
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    if (mode == kPreviewMode) {
        start_preview();
    } else if (mode == kCaptureMode) {
        capture();
    } else if (mode == kTriggerMode) {
        // Only a trigger worker still paused: one stopped meanwhile stays stopped.
        int32_t paused = kPaused;
        run_state_.compare_exchange_strong(paused, kRun);
    }
}

double CImvela::exposure_milliseconds(int32_t lines) {
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    return static_cast<double>(lines) * line_length_ * sensor::kLinePeriodMs;
}

}  // namespace imvela
