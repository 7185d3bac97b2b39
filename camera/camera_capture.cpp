// The camera object's capture exports: capture preparation, preview, capture, snapshot and
// trigger over the capture engine, with the preview window and the recording around them.
#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "driver/exposure_conversion.h"
#include "imaging/color_mode.h"
#include "platform/debug_log.h"

namespace imvela {

namespace {

// Pause after the sampling clock changed, so the camera settles.
constexpr int32_t kClockSettleMs = 100;

}  // namespace

// ---- preparation --------------------------------------------------------------------------

bool CImvela::prepare_capture() {
    const int32_t number = device_number();
    if (!device_->is_device_present(number)) {
        IMVELA_LOG(device, error, "camera %d: not present", number);
        return (record_error(ERR_DEVICE_UNAVAILABLE), false);
    }
    if (use_table_.is_in_use(number)) {
        const DeviceHolder holder = use_table_.holder(number);
        IMVELA_LOG(device, error, "camera %d: in use by process %d (claimed at %lld s after 1970)", number,
                   holder.process_id, static_cast<long long>(holder.since));
        return (record_error(ERR_DEVICE_UNAVAILABLE), false);
    }
    const CaptureWindow window = capture_window();
    const int32_t sub_sampling = sub_sample();
    if (!is_valid_capture_window(window, sub_sampling)) {
        IMVELA_LOG(capture, error, "capture window %d x %d at (%d, %d), sub-sampling %d, is outside the %d x %d sensor "
                   "or not supported", window.width, window.height, window.h_start, window.v_start, sub_sampling,
                   window.total_width, window.total_height);
        return (record_error(ERR_CAPTURE_WINDOW), false);
    }
    const int32_t mode = color_mode();
    if (!engine_.make_images(mode, window)) {
        IMVELA_LOG(capture, error, "the images of colour mode %d for %d x %d pixels cannot be made", mode, window.width,
                   window.height);
        return (record_error(ERR_BUFFER), false);
    }
    if (!device_->set_sample_width(color_mode_raw_bits(mode) == 16 ? 1 : 0)) return (record_error(ERR_DEVICE_IO), false);

    uint8_t clock = 0;
    const int32_t wanted = load_relaxed(clock_);
    if (!device_->read_clock(&clock)) return (record_error(ERR_DEVICE_IO), false);
    if (clock != wanted) {
        if (!device_->write_clock(wanted)) return (record_error(ERR_DEVICE_IO), false);
        device_->settle(kClockSettleMs);
    }

    // The device refuses windows it cannot read out (narrower than 4 columns, say); frames of
    // its previous geometry would not fit the buffers just made.
    const int32_t programmed =
        device_->set_window(window.h_start, window.v_start, window.width, window.height, sub_sampling);
    if (programmed == kDeviceRefused) {
        IMVELA_LOG(device, error, "the camera refused the window %d x %d at (%d, %d)", window.width, window.height,
                   window.h_start, window.v_start);
        return (record_error(ERR_DEVICE_IO), false);
    }
    if (programmed != 0 || device_->geometry_result() != 0 || device_->geometry().active_width != window.width ||
        device_->geometry().active_rows != window.height)
        return (record_error(ERR_CAPTURE_WINDOW), false);
    if (!device_->set_trigger_mode(0) || !apply_analog_to_device()) return (record_error(ERR_DEVICE_IO), false);

    read_line_length_locked();
    engine_.size_display();
    return true;
}

int32_t CImvela::create_preview_window() {
    return preview_window_.open(width(), height(), sub_sample()) ? 1 : 0;
}

int32_t CImvela::create_wanted_preview_window() {
    return preview_window_.windowless() || create_preview_window() ? 1 : 0;
}

// ---- preview ------------------------------------------------------------------------------

int32_t CImvela::start_preview() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    return start_preview_locked();
}

int32_t CImvela::start_preview_locked() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    return engine_.start_preview_locked();
}

int32_t CImvela::stop_preview() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (on_worker_thread()) return (record_error(ERR_NOT_READY), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control_cancelling();
    return stop_locked();
}

int32_t CImvela::stop_locked() {
    recording_.stop();  // the file is finished
    return engine_.stop_locked();
}

int32_t CImvela::begin_preview_locked() {
    if (!start_preview_locked()) {
        close_locked();
        return (record_error(ERR_TRANSFER), 0);
    }
    return 1;
}

int32_t CImvela::preview() { return callback_preview(nullptr, nullptr, 0, 0); }

int32_t CImvela::callback_preview(HWND callback_window, void* buffer, int32_t size, int32_t top_down) {
    // The window is made before the capture-control lock is taken (docs/locks.md).
    if (!create_wanted_preview_window()) return (record_error(ERR_WINDOW), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    engine_.set_callback_target(callback_window, buffer, size, top_down);
    return begin_preview_locked();
}

// ---- single frames ------------------------------------------------------------------------

int32_t CImvela::capture() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    return engine_.capture_locked();
}

int32_t CImvela::snap_shot(void* buffer, int32_t size, int32_t top_down) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    return engine_.snap_shot_locked(buffer, size, top_down);
}

int32_t CImvela::get_image(void* buffer, int32_t size, int32_t top_down) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    return engine_.get_image(buffer, size, top_down);
}

// ---- trigger ------------------------------------------------------------------------------

int32_t CImvela::trigger(HWND callback_window, void* buffer, int32_t size, int32_t top_down) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    // The window is made before the capture-control lock is taken (docs/locks.md), when the
    // trigger is about to start; the mode is looked at again under the lock.
    const int32_t before = capture_mode();
    if (before == kPreviewMode || before == kCaptureMode) return (record_error(ERR_NOT_READY), 0);
    if (before == kIdle && !create_wanted_preview_window()) return (record_error(ERR_WINDOW), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    const int32_t mode = capture_mode();
    if (mode == kPreviewMode || mode == kCaptureMode) return (record_error(ERR_NOT_READY), 0);
    engine_.set_callback_target(callback_window, buffer, size, top_down);
    // Already triggering: the one worker delivers to the new target from its next frame.
    if (mode == kTriggerMode) return 1;
    if (before != kIdle && !create_wanted_preview_window()) return (record_error(ERR_WINDOW), 0);
    if (!engine_.start_trigger_locked()) {
        close_locked();
        return 0;
    }
    return 1;
}

// ---- exposure time ------------------------------------------------------------------------

int32_t CImvela::get_real_exposure_time(int32_t* ok) {
    if (!device_) {
        if (ok) *ok = 0;
        return (record_error(ERR_NOT_READY), 0);
    }
    {
        std::unique_lock<std::mutex> control = engine_.lock_control();
        read_line_length_locked();
    }
    const int32_t us = sensor::microseconds_from_lines(load_relaxed(analog_[AnalogBlock::kExposure]),
                                                       load_relaxed(line_length_));
    if (ok) *ok = 1;
    return us;
}

void CImvela::read_line_length_locked() { store_relaxed(line_length_, device_->read_line_length()); }

// ---- still images ----------------------------------------------------------------------------

int32_t CImvela::save_image(const char* path, int32_t type) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    return still_result(stills_.save(path, type));
}

int32_t CImvela::save_image_w(const IMVELA_WCHAR* path, int32_t type) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    return still_result(stills_.save_w(path, type));
}

int32_t CImvela::still_result(StillSaver::Outcome outcome) {
    if (outcome == StillSaver::Outcome::kNoImage) record_error(ERR_NOT_READY);
    return outcome == StillSaver::Outcome::kSaved ? 1 : 0;
}

}  // namespace imvela
