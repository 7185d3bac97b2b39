#pragma once
// CaptureEngine: the capture modes of one camera (preview, capture, trigger), the worker that
// reads frames in preview and trigger mode, the images a frame passes through, and the
// delivery of finished frames into the application's memory and as messages.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "ImvelaSdk.h"
#include "imaging/image_set.h"
#include "camera/in_place_delivery.h"
#include "camera/latest_frame.h"
#include "camera/stream_statistics.h"
#include "settings/capture_window.h"

namespace imvela {

class CImvelaM61XZKRSdk;
class PreviewWindow;

enum CaptureMode : int32_t { kIdle = 0, kPreviewMode = 1, kCaptureMode = 2, kTriggerMode = 3 };
enum RunState : int32_t { kStop = 0, kRun = 1, kPaused = 2 };

// What the engine asks of the camera object that owns it.
class CaptureHost {
public:
    // Records an error code and posts it to the notification window; always 1. Called with
    // no lock of the engine held.
    virtual int32_t record_error(int32_t code) = 0;
    // Makes the images (make_images) and programs the device for a capture of the current
    // settings; false after recording why. The capture-control lock is held.
    virtual bool prepare_capture() = 0;
    // Runs the pipeline on the frame just read (`raw`: the raw image, or the frame where it
    // lies in the transfer ring) into `output`, the colour mode's output image, or into
    // `in_place` (the application's buffer, when given) if the frame's settings write it in
    // one pass, so that the application never finds a half-adjusted picture there. True when
    // the frame went into `in_place`. The frame lock is held.
    virtual bool process_frame(ImageSet& images, CImageBuffer& raw, CImageBuffer* output, CImageBuffer* in_place,
                               int32_t color_mode, const CaptureWindow& window) = 0;
    // Runs the pipeline again on the raw frame of the last process_frame into the colour
    // mode's output image, with that frame's settings and measurements and none of its side
    // effects (nothing measured or steered, defects not corrected twice): the same bytes.
    // The frame lock is held.
    virtual void reprocess_frame(ImageSet& images, CImageBuffer& raw, int32_t color_mode,
                                 const CaptureWindow& window) = 0;
    // Something reads the output image of every frame (a recording runs).
    virtual bool output_read_every_frame() = 0;
    // The preview worker finished a frame (for a recording); no lock is held.
    virtual void frame_finished() = 0;
    // The device is claimed in the device-use table while a preview runs.
    virtual void claim_device() = 0;
    virtual void release_device() = 0;

protected:
    ~CaptureHost() = default;
};

class CaptureEngine {
public:
    CaptureEngine(CaptureHost& host, PreviewWindow& window);
    ~CaptureEngine();
    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    // The device the engine reads; set once before the first capture.
    void attach(CImvelaM61XZKRSdk* device) { device_ = device; }

    // The capture-control lock serialises the capture exports of one camera and the device
    // choice; no worker takes it, so stopping can wait for the worker while holding it.
    std::unique_lock<std::mutex> lock_control() { return std::unique_lock<std::mutex>(control_lock_); }
    // The same for stopping: a snapshot on another thread may hold the lock across a driver
    // read, which is cancelled until the lock is had.
    std::unique_lock<std::mutex> lock_control_cancelling();

    // ---- capture-control lock held ---------------------------------------------------------
    // The modes (1 on success, 0 after recording the error).
    int32_t start_preview_locked();
    int32_t capture_locked();
    int32_t snap_shot_locked(void* buffer, int32_t size, int32_t top_down);
    int32_t start_trigger_locked();
    // Ends any mode and joins the worker; always 1.
    int32_t stop_locked();
    // Pauses a trigger worker between frames; resume lets a paused one go on.
    void pause_trigger_locked();
    void resume_trigger_locked();
    // Where the workers deliver: the window told of each frame, the application's buffer.
    void set_callback_target(HWND callback_window, void* buffer, int32_t size, int32_t top_down);
    // Creates the images of colour mode `mode` for the window; the capture runs with these
    // until the next preparation. False when memory runs out or the mode is out of range.
    bool make_images(int32_t mode, const CaptureWindow& window);
    // Sizes the preview window's display buffer for the images made.
    void size_display();
    // No image is there any more (Imvela_Close).
    void forget_image();

    // ---- any thread ---------------------------------------------------------------------------
    // Imvela_GetImage: the current image into the application's memory.
    int32_t get_image(void* buffer, int32_t size, int32_t top_down);
    // Calls f(const CImageBuffer* output) under the frame lock: the delivered image, null
    // before any capture preparation.
    template <class F>
    auto with_output(F&& f) {
        std::lock_guard<std::mutex> frame(frame_lock_);
        settle_output_locked();
        return f(static_cast<const CImageBuffer*>(images_.output(active_color_mode_)));
    }
    int32_t mode() const { return capture_mode_.load(std::memory_order_relaxed); }
    // The preview worker's pause before each frame, in milliseconds; changes apply at once.
    void set_wait_time(int32_t milliseconds) { wait_time_ms_.store(milliseconds, std::memory_order_relaxed); }
    int32_t wait_time() const { return wait_time_ms_.load(std::memory_order_relaxed); }
    int32_t image_available() const { return image_available_.load(std::memory_order_relaxed); }
    int32_t frame_rate() const { return frame_rate_.load(std::memory_order_relaxed); }
    const ImvelaFrameRecord& frame_record() const { return frame_record_; }
    // The number and arrival of the frame delivered last; false before the first.
    bool latest_frame(uint32_t* sequence, uint64_t* arrival_us) const { return latest_.get(sequence, arrival_us); }
    // The counts since the capture last started (the recorder's are added by the owner).
    void fill_statistics(ImvelaStreamStats& out, const RecordingCounts& recording) const;
    // The calling thread is the worker (it runs no application code; a call from it that
    // would wait for the worker fails with ERR_NOT_READY instead).
    bool on_worker_thread() const { return worker_id_.load() == std::this_thread::get_id(); }
    // A worker thread exists (running or not yet joined).
    bool worker_running() const;
    // For tests, while no worker runs: the raw and the output image of the colour mode the
    // last capture was prepared with.
    CImageBuffer* raw_image() { return images_.raw(active_color_mode_); }
    CImageBuffer* output_image() { return images_.output(active_color_mode_); }

private:
    // The result of copying the output image into the application's memory.
    enum class Copy { kDone, kNoImage, kTooSmall };

    bool start_worker();
    void join_worker();
    // Waits for the stop signal for up to `milliseconds`; false when stopping.
    bool pause_unless_stopped(int32_t milliseconds);
    void worker_main();
    void preview_worker();
    void trigger_worker();
    // Reads the frame the device holds into the raw image; frame lock held.
    int32_t extract_locked(bool single);
    // Copies the output image into `buffer`; frame lock held.
    Copy copy_frame_locked(void* buffer, int32_t size, int32_t top_down);
    // Processes the frame just read and marks the image available; then copies it to the
    // callback target. False when the copy failed (how: `copy`). `painting`: the preview
    // window shows the frame. Frame lock held.
    bool finish_frame_locked(Copy& copy, bool painting);
    // The frame can be processed straight into the callback buffer: it lies in the ring, the
    // buffer takes the output image's rows (in their order or the other way round) without
    // padding, and nothing reads the output image before the next frame. Frame lock held.
    bool deliverable_in_place_locked(bool painting);
    // Brings the output image up to the frame delivered in place, if it is behind; frame
    // lock held.
    void settle_output_locked();
    // Forgets the frame delivered in place and gives its ring entry back; frame lock held.
    void drop_deferred_locked();
    // What a worker knows of a frame when it lets go of the frame lock.
    struct FrameOutcome {
        HWND target = nullptr;  // the callback window when the frame was taken
        bool extracted = false;
        bool delivered = false;
        Copy copy = Copy::kDone;
    };
    // Tells of a frame, no lock held: a failed read of it as a transfer error, else the copy's
    // failure and the frame message. `streaming`: the preview worker's frame, which the host
    // counts as finished (a recording waits for it).
    void announce(const FrameOutcome& outcome, bool streaming);
    // Records a copy's failure and tells the window; no lock held.
    void report_copy(Copy copy, HWND window);
    // Records a failure and tells the window of the frames, if there is one; no lock held.
    void report(int32_t code, HWND window);
    void fill_frame_record_locked(int32_t frame_rate);
    // A capture starts: the host prepares it (false: it cannot) and the counts of the last one go.
    bool start_capture_locked();
    // A frame read singly was delivered: numbered on from the last one, arrived now.
    void delivered_single();
    // Counts the fault of a single read that failed and was not cancelled by a stop.
    void count_single_read_fault(int32_t read, bool timed_out);
    HWND callback_window();

    CaptureHost& host_;
    PreviewWindow& preview_;
    CImvelaM61XZKRSdk* device_ = nullptr;

    // control_lock_: the capture exports, device choice and capture-window changes.
    // frame_lock_: the images, the active colour mode and window, the callback target.
    // Their order among the other locks, and what may run under each: docs/locks.md.
    std::mutex control_lock_;
    std::mutex frame_lock_;
    ImageSet images_;
    // The capture keeps the colour mode and window it was prepared with, so changes wait for
    // the next preparation.
    int32_t active_color_mode_ = 0;
    CaptureWindow active_window_;
    // The raw frame demosaiced where it lies in the ring, and a frame delivered straight into
    // the callback buffer (extract_locked shows it, finish_frame_locked lets go of it).
    InPlaceDelivery in_place_;
    HWND callback_window_ = nullptr;
    void* callback_buffer_ = nullptr;
    int32_t callback_size_ = 0;
    int32_t top_down_ = 0;
    // Read by the application while it handles WM_CAMERA_FRAME: written field by field with
    // relaxed stores, as it may still be reading the previous frame's.
    ImvelaFrameRecord frame_record_{};
    LatestFrame latest_;
    StreamStatistics statistics_;
    // Frame rate measurement of the preview worker (the worker alone).
    int32_t frames_counted_ = 0;
    uint32_t rate_time_ = 0;

    std::atomic<int32_t> capture_mode_{kIdle};
    std::atomic<int32_t> run_state_{kStop};
    std::atomic<int32_t> image_available_{0};
    std::atomic<int32_t> frame_rate_{0};  // tenths of a frame per second
    std::atomic<int32_t> wait_time_ms_{10};

    std::thread worker_;
    std::atomic<std::thread::id> worker_id_{};
    // The stop signal: the worker pauses on it, stopping sets it and waits on it for the
    // worker's end (worker_done_, guarded by stop_lock_).
    std::mutex stop_lock_;
    std::condition_variable stop_signal_;
    bool worker_done_ = true;
};

}  // namespace imvela
