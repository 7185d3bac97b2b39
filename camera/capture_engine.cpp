#include "camera/capture_engine.h"

#include <cstring>
#include <system_error>

#include "preview/preview_window.h"
#include "camera/shared_setting.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "imaging/color_mode.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/debug_log.h"

namespace imvela {

namespace {

// The driver's transfer timeout while waiting for a hardware trigger.
constexpr int32_t kTriggerTimeoutMs = 60000;
// Pause of a worker that has nothing to do (paused, or a read that failed at once).
constexpr int32_t kIdlePauseMs = 10;
// How often stopping repeats the cancellation of a pending read while it waits for the
// worker: a read that began just after a cancellation did not see it.
constexpr int32_t kCancelRepeatMs = 20;

}  // namespace

CaptureEngine::CaptureEngine(CaptureHost& host, PreviewWindow& window)
    : host_(host), preview_(window), rate_time_(platform::tick_count()) {
    frame_record_.size = static_cast<int32_t>(sizeof(ImvelaFrameRecord));
}

CaptureEngine::~CaptureEngine() {
    // The owner stops every capture first; a worker still there is only joined.
    run_state_.store(kStop);
    join_worker();
}

std::unique_lock<std::mutex> CaptureEngine::lock_control_cancelling() {
    std::unique_lock<std::mutex> control(control_lock_, std::try_to_lock);
    while (!control.owns_lock()) {
        // A snapshot on another thread may hold the lock across a read the driver keeps.
        if (device_) device_->cancel_single_read();
        platform::sleep_milliseconds(1);
        control.try_lock();
    }
    return control;
}

// ---- images -------------------------------------------------------------------------------

bool CaptureEngine::make_images(int32_t mode, const CaptureWindow& window) {
    std::lock_guard<std::mutex> frame(frame_lock_);
    image_available_.store(0);
    // An out-of-range colour mode (from a hand-edited store) cannot have buffers.
    // The images are made anew: a frame delivered in place is gone with the old ones.
    drop_deferred_locked();
    if (!images_.create_for(mode, window.width, window.height)) return false;
    active_color_mode_ = mode;
    active_window_ = window;
    return true;
}

void CaptureEngine::size_display() {
    // The window system is asked before the frame lock is taken (docs/locks.md).
    int32_t width = 0, height = 0;
    if (!preview_.drawable_size(width, height)) return;
    std::lock_guard<std::mutex> frame(frame_lock_);
    PreviewWindow::size_display(images_, active_color_mode_, width, height);
}

void CaptureEngine::forget_image() { image_available_.store(0); }

void CaptureEngine::set_callback_target(HWND callback_window, void* buffer, int32_t size, int32_t top_down) {
    std::lock_guard<std::mutex> frame(frame_lock_);
    callback_window_ = callback_window;
    callback_buffer_ = buffer;
    callback_size_ = size;
    top_down_ = top_down;
}

HWND CaptureEngine::callback_window() {
    std::lock_guard<std::mutex> frame(frame_lock_);
    return callback_window_;
}

// ---- modes --------------------------------------------------------------------------------

int32_t CaptureEngine::start_preview_locked() {
    const int32_t mode = this->mode();
    if (mode == kPreviewMode) return 1;
    if (mode != kIdle || !start_capture_locked()) return (host_.record_error(ERR_NOT_READY), 0);

    int32_t code = ERR_THREAD;
    if (start_worker()) {
        if (device_->set_trigger_mode(0) && device_->start_streaming() == 0) {
            capture_mode_.store(kPreviewMode);
            host_.claim_device();
            return 1;
        }
        code = ERR_DEVICE_IO;
    }
    stop_locked();
    host_.record_error(code);
    return 0;
}

int32_t CaptureEngine::stop_locked() {
    run_state_.store(kStop);
    {
        std::lock_guard<std::mutex> signal(stop_lock_);
        stop_signal_.notify_all();
    }
    const int32_t mode = capture_mode_.exchange(kIdle);
    if (mode != kIdle) {
        // Switching the trigger off also makes a pending triggered read return. Stopping
        // goes on whatever the device says: a camera that is gone needs no switching off,
        // and a stream's faults were reported while it ran.
        static_cast<void>(device_->set_trigger_mode(0));
        static_cast<void>(device_->stop_streaming());
        if (mode == kPreviewMode) host_.release_device();
    }
    join_worker();
    {
        // The last frame into the output image: its raw frame, held in the ring, is still
        // there when the stream has stopped.
        std::lock_guard<std::mutex> frame(frame_lock_);
        settle_output_locked();
    }
    // Single reads go back to the ordinary timeout once nothing waits for a trigger (the
    // device keeps the value for the next reads even when the driver could not be told).
    if (mode == kTriggerMode) static_cast<void>(device_->set_driver_timeout(kDefaultDriverTimeoutMs));
    return 1;
}

int32_t CaptureEngine::capture_locked() {
    const int32_t mode = this->mode();
    if (mode == kCaptureMode) return 1;
    if (mode != kIdle || !start_capture_locked()) return (host_.record_error(ERR_NOT_READY), 0);
    capture_mode_.store(kCaptureMode);
    return 1;
}

int32_t CaptureEngine::snap_shot_locked(void* buffer, int32_t size, int32_t top_down) {
    const int32_t mode = this->mode();
    if (mode == kPreviewMode || mode == kTriggerMode) return (host_.record_error(ERR_NOT_READY), 0);
    // Outside capture mode a snapshot is a capture of its own: it opens the device file and
    // closes it again.
    const bool keep_handle = mode == kCaptureMode;
    if (!keep_handle && !start_capture_locked()) return (host_.record_error(ERR_NOT_READY), 0);

    // The driver read may block for its whole timeout: it runs before the frame lock, so
    // Imvela_GetImage on another thread is not held up by it.
    const uint32_t started = platform::tick_count();
    const int32_t result = device_->read_single_frame();
    const bool read = result == 0;
    if (!read)
        count_single_read_fault(result, waited_out(platform::tick_count() - started, device_->driver_timeout()));
    bool extracted = false;
    Copy copy = Copy::kDone;
    HWND target = nullptr;
    {
        std::lock_guard<std::mutex> frame(frame_lock_);
        target = callback_window_;
        extracted = read && extract_locked(true) == 0;
        if (extracted) {
            static_cast<void>(host_.process_frame(images_, *images_.raw(active_color_mode_),
                                                  images_.output(active_color_mode_), nullptr, active_color_mode_,
                                                  active_window_));
            image_available_.store(1);
            delivered_single();
            if (buffer && size != 0) copy = copy_frame_locked(buffer, size, top_down);
        }
    }
    if (!keep_handle) device_->close_held_handle();
    // Messages go out with no lock held.
    if (read && !extracted) report(ERR_TRANSFER, target);
    if (!extracted) return (host_.record_error(ERR_TRANSFER), 0);
    report_copy(copy, target);
    return copy == Copy::kDone ? 1 : 0;
}

int32_t CaptureEngine::start_trigger_locked() {
    if (!start_capture_locked()) return (host_.record_error(ERR_NOT_READY), 0);
    capture_mode_.store(kTriggerMode);
    if (!device_->set_driver_timeout(kTriggerTimeoutMs) || !device_->set_trigger_mode(1))
        return (host_.record_error(ERR_DEVICE_IO), 0);
    if (!start_worker()) return (host_.record_error(ERR_THREAD), 0);
    return 1;
}

void CaptureEngine::pause_trigger_locked() {
    int32_t running = kRun;
    run_state_.compare_exchange_strong(running, kPaused);
}

void CaptureEngine::resume_trigger_locked() {
    // Only a worker still paused: one stopped meanwhile stays stopped.
    int32_t paused = kPaused;
    run_state_.compare_exchange_strong(paused, kRun);
}

// ---- workers ------------------------------------------------------------------------------

bool CaptureEngine::start_worker() {
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

bool CaptureEngine::worker_running() const { return worker_.joinable(); }

void CaptureEngine::join_worker() {
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

bool CaptureEngine::pause_unless_stopped(int32_t milliseconds) {
    std::unique_lock<std::mutex> signal(stop_lock_);
    if (milliseconds > 0)
        stop_signal_.wait_for(signal, std::chrono::milliseconds(milliseconds), [this] { return run_state_.load() == kStop; });
    return run_state_.load() != kStop;
}

void CaptureEngine::worker_main() {
    worker_id_.store(std::this_thread::get_id());
    if (mode() == kTriggerMode)
        trigger_worker();
    else
        preview_worker();
    worker_id_.store(std::thread::id());
    std::lock_guard<std::mutex> signal(stop_lock_);
    worker_done_ = true;
    stop_signal_.notify_all();
}

void CaptureEngine::report(int32_t code, HWND window) {
    if (window) platform::post_message(window, WM_CAMERA_FRAME, 0, code);
}

void CaptureEngine::report_copy(Copy copy, HWND window) {
    if (copy == Copy::kDone) return;
    host_.record_error(ERR_BUFFER);
    if (copy == Copy::kTooSmall) report(ERR_BUFFER, window);
}

int32_t CaptureEngine::extract_locked(bool single) {
    CImageBuffer* raw = images_.raw(active_color_mode_);
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
        if (!in_place_.show_ring_frame(window, g.active_width, g.active_rows, sample_bits, stride)) {
            device_->release_taken_frame();
            return kExtractNoBuffer;
        }
        return 0;
    }
    // Rows land directly at the buffer's padded stride.
    return single ? device_->extract_single_frame(raw->bits(), raw->stride())
                  : device_->extract_taken_frame(raw->bits(), raw->stride());
}

bool CaptureEngine::start_capture_locked() {
    if (!host_.prepare_capture()) return false;
    IMVELA_LOG(capture, info, "capture starts: colour mode %d, %d x %d", active_color_mode_, active_window_.width,
               active_window_.height);
    statistics_.restart();
    device_->transfer_counters().clear();
    return true;
}

void CaptureEngine::delivered_single() {
    const uint32_t sequence = statistics_.next_single_sequence();
    const uint64_t arrival = platform::monotonic_microseconds();
    statistics_.delivered(sequence, arrival);
    latest_.set(sequence, arrival);
}

void CaptureEngine::count_single_read_fault(int32_t read, bool timed_out) {
    TransferCounters& counts = device_->transfer_counters();
    if (read == kStreamOpenFailed)
        TransferCounters::count(counts.unplugs);
    else if (timed_out)
        TransferCounters::count(counts.timeouts);
    else if (device_->last_read_short())
        TransferCounters::count(counts.short_transfers);
    else
        TransferCounters::count(counts.failed);
}

void CaptureEngine::fill_statistics(ImvelaStreamStats& out, const RecordingCounts& recording) const {
    static const TransferCounters none;
    statistics_.fill(out, device_ ? device_->transfer_counters() : none, recording);
}

void CaptureEngine::fill_frame_record_locked(int32_t frame_rate) {
    const CImageBuffer* raw = images_.raw(active_color_mode_);
    store_relaxed(frame_record_.size, static_cast<int32_t>(sizeof(ImvelaFrameRecord)));
    store_relaxed(frame_record_.width, raw->width());
    store_relaxed(frame_record_.height, raw->height());
    store_relaxed(frame_record_.bit_count, kColorModeBits[active_color_mode_]);
    store_relaxed(frame_record_.frame_rate, frame_rate);
    __atomic_store_n(&frame_record_.buffer, callback_buffer_, __ATOMIC_RELAXED);
}

bool CaptureEngine::deliverable_in_place_locked(bool painting) {
    const CImageBuffer* out = images_.output(active_color_mode_);
    // Colour pixels in rows without padding: the pipeline then writes every byte the
    // application receives, whichever buffer it writes them to (the fourth sample of 32- and
    // 64-bit pixels as zero, as the output image holds it).
    const uint16_t bits = out ? out->bits_per_pixel() : 0;
    if (in_place_.holding_off()) return false;
    return in_place_.raw_in_ring() && !painting && callback_buffer_ && bits >= 24 &&
           out->has_pixels() && out->stride() == out->width() * out->bytes_per_pixel() && callback_size_ >= 0 &&
           out->size_bytes() <= static_cast<size_t>(callback_size_) && device_->ring_count() >= 3 &&
           !host_.output_read_every_frame();
}

void CaptureEngine::drop_deferred_locked() {
    if (in_place_.drop_held_frame()) device_->release_held_frame();
}

void CaptureEngine::settle_output_locked() {
    if (!in_place_.output_behind()) return;
    host_.reprocess_frame(images_, in_place_.held_frame(), active_color_mode_, active_window_);
    drop_deferred_locked();
    in_place_.start_holdoff();
}

bool CaptureEngine::finish_frame_locked(Copy& copy, bool painting) {
    // A frame still waiting to reach the output image is superseded by this one.
    drop_deferred_locked();
    CImageBuffer* in_place = nullptr;
    if (deliverable_in_place_locked(painting))
        in_place = in_place_.view_callback_buffer(callback_buffer_, *images_.output(active_color_mode_), top_down_ != 0);
    const bool delivered_in_place = host_.process_frame(
        images_, in_place_.raw_in_ring() ? in_place_.ring_frame() : *images_.raw(active_color_mode_),
        images_.output(active_color_mode_), in_place, active_color_mode_, active_window_);
    in_place_.release_callback_view();
    image_available_.store(1);
    if (delivered_in_place) {
        // The raw frame stays in the ring until the output image is brought up to it.
        in_place_.hold_ring_frame();
        if (!device_->hold_taken_frame()) {
            settle_output_locked();
            device_->release_taken_frame();
        }
        copy = Copy::kDone;
        return true;
    }
    if (in_place_.let_go_ring_frame()) device_->release_taken_frame();
    copy = !callback_buffer_ || callback_size_ == 0 ? Copy::kDone
                                                    : copy_frame_locked(callback_buffer_, callback_size_, top_down_);
    return copy == Copy::kDone;
}

void CaptureEngine::preview_worker() {
    while (run_state_.load() != kStop) {
        // The wait between frames ends at once when the capture stops.
        if (!pause_unless_stopped(wait_time_ms_.load(std::memory_order_relaxed))) break;
        if (run_state_.load() != kRun) continue;
        const int32_t taken = device_->take_newest_frame();
        if (taken == kTakeStopped) {
            // Still running: no frame came within the wait; else the loop ended on a fault
            // it counted itself.
            if (device_->stream().running()) {
                statistics_.timed_out();
                IMVELA_LOG(capture, error, "no frame within %u ms: the preview ends", kFrameWaitMs);
            }
            run_state_.store(kStop);
            const HWND target = callback_window();
            // Recorded before the message, so the application finds the code when it reacts.
            host_.record_error(ERR_TIMEOUT);
            report(ERR_TIMEOUT, target);
            return;
        }
        if (taken == kTakeIdle) pause_unless_stopped(1);
        if (taken != kTakeReady) continue;

        FrameOutcome outcome;
        // Window-system calls stay outside the frame lock: the size before, the picture
        // goes to the screen after.
        int32_t paint_width = 0, paint_height = 0;
        const bool painting = preview_.drawable_size(paint_width, paint_height);
        bool composed = false;
        {
            std::lock_guard<std::mutex> frame(frame_lock_);
            outcome.target = callback_window_;
            outcome.extracted = extract_locked(false) == 0;
            if (outcome.extracted) {
                const uint32_t sequence = device_->stream().taken_sequence();
                const uint64_t arrival = device_->stream().taken_arrival_us();
                statistics_.delivered(sequence, arrival);
                latest_.set(sequence, arrival);
                ++frames_counted_;
                const uint32_t now = platform::tick_count();
                const uint32_t elapsed = now - rate_time_;
                if (elapsed > 1000) {
                    frame_rate_.store(static_cast<int32_t>(static_cast<int64_t>(frames_counted_) * 10000 / elapsed));
                    frames_counted_ = 0;
                    rate_time_ = now;
                }
                fill_frame_record_locked(frame_rate_.load());
                outcome.delivered = finish_frame_locked(outcome.copy, painting);
                if (painting) composed = preview_.compose(images_, active_color_mode_, paint_width, paint_height);
            }
        }
        if (composed) preview_.present();
        announce(outcome, true);
    }
}

void CaptureEngine::trigger_worker() {
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
            const bool no_trigger = waited_out(platform::tick_count() - started, device_->driver_timeout());
            // No trigger within the driver's timeout is no fault and not counted.
            if (!no_trigger) count_single_read_fault(read, false);
            if (gone || !no_trigger) {
                const HWND target = callback_window();
                const int32_t code = gone ? ERR_TIMEOUT : ERR_TRANSFER;
                host_.record_error(code);
                report(code, target);
                if (gone) return;
            }
            pause_unless_stopped(kIdlePauseMs);
            continue;
        }
        FrameOutcome outcome;
        int32_t paint_width = 0, paint_height = 0;
        const bool painting = preview_.drawable_size(paint_width, paint_height);
        bool composed = false;
        {
            std::lock_guard<std::mutex> frame(frame_lock_);
            outcome.target = callback_window_;
            outcome.extracted = extract_locked(true) == 0;
            if (outcome.extracted) {
                delivered_single();
                fill_frame_record_locked(0);
                outcome.delivered = finish_frame_locked(outcome.copy, true);
                if (outcome.delivered && painting)
                    composed = preview_.compose(images_, active_color_mode_, paint_width, paint_height);
            }
        }
        if (composed) preview_.present();
        announce(outcome, false);
    }
}

void CaptureEngine::announce(const FrameOutcome& outcome, bool streaming) {
    if (!outcome.extracted) {
        host_.record_error(ERR_TRANSFER);
        report(ERR_TRANSFER, outcome.target);
        return;
    }
    report_copy(outcome.copy, outcome.target);
    if (streaming) host_.frame_finished();
    if (outcome.delivered && outcome.target)
        platform::post_message(outcome.target, WM_CAMERA_FRAME, reinterpret_cast<uintptr_t>(&frame_record_), 0);
}

// ---- delivery -----------------------------------------------------------------------------

CaptureEngine::Copy CaptureEngine::copy_frame_locked(void* buffer, int32_t size, int32_t top_down) {
    settle_output_locked();
    const CImageBuffer* out = images_.output(active_color_mode_);
    if (!out || !out->has_pixels() || !buffer) return Copy::kNoImage;
    const size_t stride = static_cast<size_t>(out->stride());
    const size_t rows = static_cast<size_t>(out->height());
    if (size < 0 || stride * rows > static_cast<size_t>(size)) {
        IMVELA_LOG(capture, error, "the application's buffer holds %d bytes; the image needs %zu (%zu rows of %zu)",
                   size, stride * rows, rows, stride);
        return Copy::kTooSmall;
    }
    auto* to = static_cast<uint8_t*>(buffer);
    if (top_down != 0) {
        std::memcpy(to, out->bits(), stride * rows);
    } else {
        // Last stored row first.
        for (size_t r = 0; r < rows; ++r) std::memcpy(to + r * stride, out->bits() + (rows - 1 - r) * stride, stride);
    }
    return Copy::kDone;
}

int32_t CaptureEngine::get_image(void* buffer, int32_t size, int32_t top_down) {
    Copy copy;
    HWND target;
    {
        std::lock_guard<std::mutex> frame(frame_lock_);
        target = callback_window_;
        copy = copy_frame_locked(buffer, size, top_down);
    }
    report_copy(copy, target);
    return copy == Copy::kDone ? 1 : 0;
}

}  // namespace imvela
