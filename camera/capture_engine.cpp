// Capture engine: capture preparation, preview, capture, snapshot, trigger, the workers and
// the copy of finished frames into the application's memory.
#include <cstring>
#include <system_error>

#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "driver/exposure_conversion.h"
#include "imaging/color_mode.h"
#include "imaging/image_buffer.h"
#include "platform/clock.h"
#include "platform/messages.h"

namespace imvela {

namespace {

// The driver's transfer timeout while waiting for a hardware trigger.
constexpr int32_t kTriggerTimeoutMs = 60000;
// Pause after the sampling clock changed, so the camera settles.
constexpr int32_t kClockSettleMs = 100;
// Pause of a worker that has nothing to do (paused, or a read that failed at once).
constexpr int32_t kIdlePauseMs = 10;
// How often stopping repeats the cancellation of a pending read while it waits for the
// worker: a read that began just after a cancellation did not see it.
constexpr int32_t kCancelRepeatMs = 20;
// A single read that fails this close to the driver's timeout waited for a trigger that did
// not come; one that fails sooner is a fault of the transfer.
constexpr int32_t kTimeoutMarginMs = 500;

// Buffer index of the raw and the output image by colour mode.
constexpr BufferIndex kRawOfMode[kColorModeCount] = {kRaw8, kRaw16, kRaw8, kRaw8, kRaw16, kRaw16};
constexpr BufferIndex kOutputOfMode[kColorModeCount] = {kRaw8, kRaw16, kColor24, kColor32, kColor48, kColor64};

bool valid_mode(int32_t mode) { return mode >= 0 && mode < kColorModeCount; }

}  // namespace

// ---- buffers ------------------------------------------------------------------------------

CImageBuffer* CImvela::raw_buffer() {
    return valid_mode(active_color_mode_) ? buffers_[kRawOfMode[active_color_mode_]].get() : nullptr;
}

CImageBuffer* CImvela::output_buffer() {
    return valid_mode(active_color_mode_) ? buffers_[kOutputOfMode[active_color_mode_]].get() : nullptr;
}

int32_t CImvela::create_mode_buffers() {
    const int32_t mode = color_mode();
    if (!valid_mode(mode)) return 0;
    const CaptureWindow window = capture_window();
    const int32_t w = window.width, h = window.height;
    for (int i = 0; i < kBufferCount; ++i)
        if (!buffers_[i]) return 0;
    // Every creation below releases what the buffer held before.
    if (mode <= 3 && !buffers_[kRaw8]->Create(w, h, 8)) return 0;
    if ((mode == 1 || mode >= 4) && !buffers_[kRaw16]->Create(w, h, 16)) return 0;
    if (mode != 1 && !buffers_[kColor24]->Create(w, h, 24)) return 0;
    if (mode == 3 && !buffers_[kColor32]->Create(w, h, 32)) return 0;
    // Gray mode 2 in colour mode 1 demosaics the 16-bit frame into the 48-bit buffer.
    if ((mode == 4 || mode == 1) && !buffers_[kColor48]->Create(w, h, 48)) return 0;
    if (mode == 5 && !buffers_[kColor64]->Create(w, h, 64)) return 0;
    if (!buffers_[kWorkCopy]->CreateLike(buffers_[kOutputOfMode[mode]].get())) return 0;
    active_color_mode_ = mode;
    active_window_ = window;
    return 1;
}

// ---- preparation --------------------------------------------------------------------------

int32_t CImvela::prepare_capture() {
    const int32_t number = device_number();
    if (!device_->is_device_present(number) || use_table_.is_in_use(number))
        return (record_error(ERR_DEVICE_UNAVAILABLE), 0);
    const CaptureWindow window = capture_window();
    const int32_t sub_sampling = sub_sample();
    if (!is_valid_capture_window(window, sub_sampling)) return (record_error(ERR_CAPTURE_WINDOW), 0);
    {
        std::lock_guard<std::recursive_mutex> frame(frame_lock_);
        store_relaxed(image_available_, 0);
        // An out-of-range colour mode (from a hand-edited store) cannot have buffers.
        if (!create_mode_buffers()) return (record_error(ERR_BUFFER), 0);
    }
    const int32_t mode = active_color_mode_;
    device_->set_sample_width(color_mode_raw_bits(mode) == 16 ? 1 : 0);

    uint8_t clock = 0;
    const int32_t wanted = load_relaxed(clock_);
    if (device_->read_clock(&clock) && clock != wanted) {
        device_->write_clock(wanted);
        device_->settle(kClockSettleMs);
    }

    // The device refuses windows it cannot read out (narrower than 4 columns, say); frames of
    // its previous geometry would not fit the buffers just made.
    if (device_->set_window(window.h_start, window.v_start, window.width, window.height, sub_sampling) != 0 ||
        device_->geometry_result() != 0 || device_->geometry().active_width != window.width ||
        device_->geometry().active_rows != window.height)
        return (record_error(ERR_CAPTURE_WINDOW), 0);
    device_->set_mirror_v(load_relaxed(analog_[AnalogBlock::kVerticalMirror]));
    device_->set_mirror_h(load_relaxed(analog_[AnalogBlock::kHorizontalMirror]));
    device_->set_trigger_mode(0);
    device_->set_gain(load_relaxed(analog_[AnalogBlock::kGlobalGain]) & 0xFF);
    device_->set_exposure(load_relaxed(analog_[AnalogBlock::kExposure]) & 0xFFFF);

    int32_t ok = 0;
    get_real_exposure_time(&ok);
    if (preview_window_ready()) create_display_buffer();
    return 1;
}

// ---- preview ------------------------------------------------------------------------------

int32_t CImvela::start_preview() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    const int32_t mode = capture_mode();
    if (mode == kPreviewMode) return 1;
    if (mode != kIdle) return (record_error(ERR_NOT_READY), 0);
    if (!prepare_capture()) return (record_error(ERR_NOT_READY), 0);

    int32_t code = ERR_THREAD;
    if (start_worker()) {
        device_->set_trigger_mode(0);
        if (device_->start_streaming() == 0) {
            capture_mode_.store(kPreviewMode);
            claim_device(device_number());
            return 1;
        }
        code = ERR_DEVICE_IO;
    }
    stop_preview();
    record_error(code);
    return 0;
}

std::unique_lock<std::recursive_mutex> CImvela::lock_capture_control_cancelling() {
    std::unique_lock<std::recursive_mutex> control(capture_control_lock_, std::try_to_lock);
    while (!control.owns_lock()) {
        // A snapshot on another thread may hold the lock across a read the driver keeps.
        device_->cancel_single_read();
        platform::sleep_milliseconds(1);
        control.try_lock();
    }
    return control;
}

int32_t CImvela::stop_preview() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (on_worker_thread()) return (record_error(ERR_NOT_READY), 0);
    std::unique_lock<std::recursive_mutex> control = lock_capture_control_cancelling();
    stop_recording();
    run_state_.store(kStop);
    {
        std::lock_guard<std::mutex> signal(stop_lock_);
        stop_signal_.notify_all();
    }
    const int32_t mode = capture_mode_.exchange(kIdle);
    if (mode != kIdle) {
        // Switching the trigger off also makes a pending triggered read return.
        device_->set_trigger_mode(0);
        device_->stop_streaming();
        if (mode == kPreviewMode) release_device(device_number());
    }
    join_worker();
    // Single reads go back to the ordinary timeout once nothing waits for a trigger.
    if (mode == kTriggerMode) device_->set_driver_timeout(kDefaultDriverTimeoutMs);
    return 1;
}

bool CImvela::windowless_preview() const {
    return preview_parent_ == nullptr && preview_rect_.left == 0 && preview_rect_.top == 0 && preview_rect_.right == 0 &&
           preview_rect_.bottom == 0;
}

void CImvela::set_callback_target(HWND callback_window, void* buffer, int32_t size, int32_t top_down) {
    std::lock_guard<std::recursive_mutex> frame(frame_lock_);
    callback_window_ = callback_window;
    callback_buffer_ = buffer;
    callback_size_ = size;
    top_down_ = top_down;
}

int32_t CImvela::begin_preview_with_window() {
    if (!windowless_preview() && !create_preview_window()) return (record_error(ERR_WINDOW), 0);
    if (!start_preview()) {
        close();
        return (record_error(ERR_TRANSFER), 0);
    }
    return 1;
}

int32_t CImvela::preview() { return callback_preview(nullptr, nullptr, 0, 0); }

int32_t CImvela::callback_preview(HWND callback_window, void* buffer, int32_t size, int32_t top_down) {
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    set_callback_target(callback_window, buffer, size, top_down);
    return begin_preview_with_window();
}

// ---- single frames ------------------------------------------------------------------------

int32_t CImvela::capture() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    const int32_t mode = capture_mode();
    if (mode == kCaptureMode) return 1;
    if (mode != kIdle) return (record_error(ERR_NOT_READY), 0);
    if (!prepare_capture()) return (record_error(ERR_NOT_READY), 0);
    capture_mode_.store(kCaptureMode);
    return 1;
}

int32_t CImvela::snap_shot(void* buffer, int32_t size, int32_t top_down) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    const int32_t mode = capture_mode();
    if (mode == kPreviewMode || mode == kTriggerMode) return (record_error(ERR_NOT_READY), 0);
    if (mode != kCaptureMode && !prepare_capture()) return (record_error(ERR_NOT_READY), 0);
    // Outside capture mode every snapshot opens the device file and closes it again.
    const bool keep_handle = mode == kCaptureMode;

    // The driver read may block for its whole timeout: it runs before the frame lock, so
    // Imvela_GetImage on another thread is not held up by it.
    bool read = device_->read_single_frame() == 0;
    std::lock_guard<std::recursive_mutex> frame(frame_lock_);
    if (read && extract_into_raw(true) != 0) {
        deliver_failure(callback_window_, ERR_TRANSFER);
        read = false;
    }
    if (!read) {
        if (!keep_handle) device_->close_held_handle();
        return (record_error(ERR_TRANSFER), 0);
    }
    process_frame();
    store_relaxed(image_available_, 1);
    const bool copied = !buffer || size == 0 || copy_frame(buffer, size, top_down);
    if (!keep_handle) device_->close_held_handle();
    return copied ? 1 : 0;
}

// ---- trigger ------------------------------------------------------------------------------

int32_t CImvela::trigger(HWND callback_window, void* buffer, int32_t size, int32_t top_down) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    const int32_t mode = capture_mode();
    if (mode == kPreviewMode || mode == kCaptureMode) return (record_error(ERR_NOT_READY), 0);
    set_callback_target(callback_window, buffer, size, top_down);
    // Already triggering: the one worker delivers to the new target from its next frame.
    if (mode == kTriggerMode) return 1;

    if (!windowless_preview() && !create_preview_window()) return (record_error(ERR_WINDOW), 0);
    if (!prepare_capture()) {
        close();
        return (record_error(ERR_NOT_READY), 0);
    }
    capture_mode_.store(kTriggerMode);
    device_->set_driver_timeout(kTriggerTimeoutMs);
    device_->set_trigger_mode(1);
    if (!start_worker()) {
        close();
        return (record_error(ERR_THREAD), 0);
    }
    return 1;
}

// ---- workers ------------------------------------------------------------------------------

bool CImvela::start_worker() {
    join_worker();
    run_state_.store(kRun);
    {
        std::lock_guard<std::mutex> signal(stop_lock_);
        worker_done_ = false;
    }
    try {
        worker_ = std::thread([this] { worker_main(); });
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> signal(stop_lock_);
        worker_done_ = true;
        run_state_.store(kStop);
        return false;
    }
    return true;
}

void CImvela::join_worker() {
    if (!worker_.joinable()) return;
    {
        // The worker may sit in a single read that only the driver's timeout would end:
        // cancel it, again and again until the worker has seen its stop.
        std::unique_lock<std::mutex> signal(stop_lock_);
        while (!worker_done_) {
            signal.unlock();
            if (run_state_.load() == kStop) device_->cancel_single_read();
            signal.lock();
            stop_signal_.wait_for(signal, std::chrono::milliseconds(kCancelRepeatMs), [this] { return worker_done_; });
        }
    }
    worker_.join();
}

bool CImvela::pause_unless_stopped(int32_t milliseconds) {
    std::unique_lock<std::mutex> signal(stop_lock_);
    if (milliseconds > 0)
        stop_signal_.wait_for(signal, std::chrono::milliseconds(milliseconds), [this] { return run_state_.load() == kStop; });
    return run_state_.load() != kStop;
}

void CImvela::worker_main() {
    worker_id_.store(std::this_thread::get_id());
    if (capture_mode() == kTriggerMode)
        trigger_worker();
    else
        preview_worker();
    worker_id_.store(std::thread::id());
    std::lock_guard<std::mutex> signal(stop_lock_);
    worker_done_ = true;
    stop_signal_.notify_all();
}

void CImvela::deliver_failure(HWND callback_window, int32_t code) {
    if (callback_window) platform::post_message(callback_window, WM_CAMERA_FRAME, 0, code);
}

int32_t CImvela::extract_into_raw(bool single) {
    CImageBuffer* raw = raw_buffer();
    // The device's geometry and sample width must describe exactly the raw buffer; anything
    // else would write outside it.
    const FrameGeometry& g = device_->geometry();
    const int32_t sample_bits = device_->two_byte_samples() ? 16 : 8;
    if (!raw || !raw->has_pixels() || g.active_width != raw->width() || g.active_rows != raw->height() ||
        sample_bits != raw->bits_per_pixel())
        return kExtractNoBuffer;
    if (!single && active_color_mode_ >= 2) {
        // Demosaiced where it lies in the ring; the gray modes work on a copy of their own.
        int32_t stride = 0;
        uint8_t* window = device_->taken_window(&stride);
        if (!window) return kExtractNoBuffer;
        if (!ring_frame_->View(window, g.active_width, g.active_rows, sample_bits, stride)) {
            device_->release_taken_frame();
            return kExtractNoBuffer;
        }
        raw_in_ring_ = true;
        return 0;
    }
    // Rows land directly at the buffer's padded stride.
    return single ? device_->extract_single_frame(raw->bits(), raw->stride())
                  : device_->extract_taken_frame(raw->bits(), raw->stride());
}

// The record the application reads while it handles WM_CAMERA_FRAME; written field by field
// with relaxed stores because the application may still be reading the previous frame's.
void CImvela::fill_frame_record(int32_t frame_rate) {
    const CImageBuffer* raw = raw_buffer();
    store_relaxed(frame_record_.size, static_cast<int32_t>(sizeof(ImvelaFrameRecord)));
    store_relaxed(frame_record_.width, raw->width());
    store_relaxed(frame_record_.height, raw->height());
    store_relaxed(frame_record_.bit_count, kColorModeBits[active_color_mode_]);
    store_relaxed(frame_record_.frame_rate, frame_rate);
    __atomic_store_n(&frame_record_.buffer, callback_buffer_, __ATOMIC_RELAXED);
}

void CImvela::preview_worker() {
    while (run_state_.load() != kStop) {
        // The wait between frames ends at once when the capture stops.
        if (!pause_unless_stopped(wait_time())) break;
        if (run_state_.load() != kRun) continue;
        const int32_t taken = device_->take_newest_frame();
        if (taken == kTakeStopped) {
            run_state_.store(kStop);
            HWND target;
            {
                std::lock_guard<std::recursive_mutex> frame(frame_lock_);
                target = callback_window_;
            }
            // Recorded before the message, so the application finds the code when it reacts.
            record_error(ERR_TIMEOUT);
            deliver_failure(target, ERR_TIMEOUT);
            return;
        }
        if (taken == kTakeIdle) pause_unless_stopped(1);
        if (taken != kTakeReady) continue;

        HWND target = nullptr;
        bool delivered = false;
        bool extracted = true;
        {
            std::lock_guard<std::recursive_mutex> frame(frame_lock_);
            target = callback_window_;
            extracted = extract_into_raw(false) == 0;
        }
        // Messages go out with no lock held.
        if (!extracted) {
            record_error(ERR_TRANSFER);
            deliver_failure(target, ERR_TRANSFER);
            continue;
        }
        {
            std::lock_guard<std::recursive_mutex> frame(frame_lock_);
            ++frames_counted_;
            const uint32_t now = platform::tick_count();
            const uint32_t elapsed = now - rate_time_;
            if (elapsed > 1000) {
                store_relaxed(frame_rate_,
                              static_cast<int32_t>(static_cast<int64_t>(frames_counted_) * 10000 / elapsed));
                frames_counted_ = 0;
                rate_time_ = now;
            }
            fill_frame_record(load_relaxed(frame_rate_));

            process_frame();
            store_relaxed(image_available_, 1);
            paint_preview();
            delivered = !callback_buffer_ || callback_size_ == 0 || copy_frame(callback_buffer_, callback_size_, top_down_);
        }
        mark_recorded_frame();
        if (delivered && target)
            platform::post_message(target, WM_CAMERA_FRAME, reinterpret_cast<uintptr_t>(&frame_record_), 0);
    }
}

void CImvela::trigger_worker() {
    while (run_state_.load() != kStop) {
        if (run_state_.load() != kRun) {
            pause_unless_stopped(kIdlePauseMs);
            continue;
        }
        // Blocks until the camera is triggered, the driver's timeout passes, the trigger is
        // switched off or stopping cancels the read.
        const uint32_t started = platform::tick_count();
        const int32_t read = device_->read_single_frame();
        if (run_state_.load() == kStop) return;
        if (read != 0) {
            // No frame is delivered from a failed read. The camera gone: the worker ends as a
            // stopped stream does, and a new Imvela_Trigger after Imvela_StopPreview starts
            // over. A transfer that failed or came short: reported, and trigger mode goes on.
            // No trigger within the driver's timeout is no fault.
            const bool gone = read == kStreamOpenFailed;
            const bool waited_out = static_cast<int64_t>(platform::tick_count() - started) + kTimeoutMarginMs >=
                                    device_->driver_timeout();
            if (gone || !waited_out) {
                HWND target;
                {
                    std::lock_guard<std::recursive_mutex> frame(frame_lock_);
                    target = callback_window_;
                }
                const int32_t code = gone ? ERR_TIMEOUT : ERR_TRANSFER;
                record_error(code);
                deliver_failure(target, code);
                if (gone) return;
            }
            pause_unless_stopped(kIdlePauseMs);
            continue;
        }
        HWND target = nullptr;
        bool extracted = false, delivered = false;
        {
            std::lock_guard<std::recursive_mutex> frame(frame_lock_);
            target = callback_window_;
            extracted = extract_into_raw(true) == 0;
            if (extracted) {
                fill_frame_record(0);
                process_frame();
                store_relaxed(image_available_, 1);
                delivered = !callback_buffer_ || callback_size_ == 0 ||
                            copy_frame(callback_buffer_, callback_size_, top_down_);
                if (delivered) paint_preview();
            }
        }
        // Messages go out with no lock held.
        if (!extracted) {
            record_error(ERR_TRANSFER);
            deliver_failure(target, ERR_TRANSFER);
        } else if (delivered && target) {
            platform::post_message(target, WM_CAMERA_FRAME, reinterpret_cast<uintptr_t>(&frame_record_), 0);
        }
    }
}

// ---- delivery -----------------------------------------------------------------------------

int32_t CImvela::copy_frame(void* buffer, int32_t size, int32_t top_down) {
    CImageBuffer* out = output_buffer();
    if (!out || !out->has_pixels() || !buffer) return (record_error(ERR_BUFFER), 0);
    const size_t stride = static_cast<size_t>(out->stride());
    const size_t rows = static_cast<size_t>(out->height());
    if (size < 0 || stride * rows > static_cast<size_t>(size)) {
        record_error(ERR_BUFFER);
        deliver_failure(callback_window_, ERR_BUFFER);
        return 0;
    }
    auto* to = static_cast<uint8_t*>(buffer);
    if (top_down != 0) {
        std::memcpy(to, out->bits(), stride * rows);
    } else {
        // Last stored row first.
        for (size_t r = 0; r < rows; ++r) std::memcpy(to + r * stride, out->bits() + (rows - 1 - r) * stride, stride);
    }
    return 1;
}

int32_t CImvela::get_image(void* buffer, int32_t size, int32_t top_down) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::lock_guard<std::recursive_mutex> frame(frame_lock_);
    CImageBuffer* out = output_buffer();
    if (!out) return (record_error(ERR_NOT_READY), 0);
    return copy_frame(buffer, size, top_down);
}

int32_t CImvela::get_real_exposure_time(int32_t* ok) {
    if (!device_) {
        if (ok) *ok = 0;
        return (record_error(ERR_NOT_READY), 0);
    }
    std::lock_guard<std::recursive_mutex> control(capture_control_lock_);
    line_length_ = device_->read_line_length();
    const int32_t us = sensor::microseconds_from_lines(load_relaxed(analog_[AnalogBlock::kExposure]), line_length_);
    if (ok) *ok = 1;
    return us;
}

}  // namespace imvela
