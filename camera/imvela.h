#pragma once
// CImvela: the camera object behind one handle. It owns the device object, the image
// buffers, the worker thread, the preview window and every setting of one camera.
//
// Its operations live in several files by concern:
//   imvela.cpp          construction, initialisation, device choice, enumeration, close, release
//   camera_controls.cpp filter values, mirrors, exposure, registers, ports, serial ROM,
//                       capture window, defect correction and its file
//   capture_engine.cpp  capture preparation, preview/capture/snapshot/trigger, workers, frame copy
//   frame_processing.cpp the pipeline run on each frame, automatic exposure, defect file
//   preview_window.cpp  the preview window
//   dialog_support.cpp  what the property dialogs ask of the camera
//   still_image.cpp     still image files of the current image
//   recording.cpp       AVI recording and its thread
// The per-frame image processing itself is the FramePipeline (frame_pipeline.h).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "ImvelaSdk.h"
#include "camera/error_history.h"
#include "camera/frame_pipeline.h"
#include "settings/capture_window.h"
#include "camera/device_use_table.h"
#include "camera/dialog_link.h"
#include "camera/recording_state.h"
#include "settings/setting_blocks.h"
#include "camera/shared_setting.h"
#include "files/camera_settings.h"
#include "files/defect_list.h"
#include "imaging/band_pool.h"
#include "platform/preview_surface.h"

namespace imvela {

class CImvelaM61XZKRSdk;
class CImageBuffer;

// The eight image buffers, in the order the camera object creates them.
enum BufferIndex : int {
    kRaw8 = 0,
    kRaw16,
    kColor24,
    kColor32,
    kColor48,
    kColor64,
    kWorkCopy,
    kDisplay,
    kBufferCount
};

enum CaptureMode : int32_t { kIdle = 0, kPreviewMode = 1, kCaptureMode = 2, kTriggerMode = 3 };
enum RunState : int32_t { kStop = 0, kRun = 1, kPaused = 2 };

struct PreviewRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class CImvela {
public:
    static constexpr const char* kDeviceName = "ImvelaM52-ZKR";

    CImvela();
    virtual ~CImvela();
    CImvela(const CImvela&) = delete;
    CImvela& operator=(const CImvela&) = delete;

    // ---- lifecycle (imvela.cpp) ------------------------------------------------------
    // Second step of Imvela_Initialize; 1 on success, 0 after recording error 5.
    int32_t initialize(HWND notify_window);
    int32_t set_device_number(int32_t number);
    int32_t enum_device(char names[][256]);
    int32_t enum_device_w(IMVELA_WCHAR names[][256]);
    int32_t get_device_name(int32_t number, char* buffer, int32_t length);
    int32_t get_device_name_w(int32_t number, IMVELA_WCHAR* buffer, int32_t length);
    int32_t get_camera_info(ImvelaCameraInfo* info);
    int32_t close();
    void claim_device(int32_t number);
    void release_device(int32_t number);

    // ---- errors --------------------------------------------------------------------------
    // Records the code in the history and posts WM_CAMERA_ERROR to the notification
    // window when there is one. Always 1.
    int32_t record_error(int32_t code);
    // Posts WM_CAMERA_ERROR without recording (the few exports that only post).
    void post_error(int32_t code);
    // Imvela_GetLastError: the newest recorded code, removed; 0 when none.
    int32_t last_error() { return history_.pop(); }
    HWND notify_window() const { return notify_window_; }

    // ---- image format (imvela.cpp); take effect at the next capture preparation ------------
    int32_t set_color_mode(int32_t bits);
    int32_t color_mode() const { return load_relaxed(color_mode_); }
    int32_t set_sub_sample(int32_t mode);
    int32_t sub_sample() const { return load_relaxed(sub_sample_); }
    int32_t set_wait_time(int32_t milliseconds);
    int32_t wait_time() const { return load_relaxed(wait_time_); }

    // ---- controls (camera_controls.cpp) --------------------------------------------------
    int32_t set_filter_value(int32_t identifier, int32_t value);
    int32_t get_filter_value(int32_t identifier, int32_t* ok);
    int32_t set_config_filter(int32_t on);
    int32_t config_filter() const { return load_relaxed(defect_correction_); }
    int32_t load_config_file(const char* path);
    int32_t load_config_file_w(const IMVELA_WCHAR* path);
    int32_t set_mirror_h(int32_t on);
    int32_t get_mirror_h();
    int32_t set_mirror_v(int32_t on);
    int32_t get_mirror_v();
    int32_t set_auto_iris(int32_t mode);
    int32_t get_auto_iris(int32_t* ok);
    int32_t set_real_exposure_time(int32_t microseconds);
    int32_t read_register(int32_t address, int32_t* ok);
    int32_t write_register(int32_t address, int32_t value);
    int32_t read_srom_id(int32_t address, int32_t* ok);
    int32_t write_srom_id(int32_t address, int32_t value);
    int32_t get_io_port(uint8_t* value);
    int32_t set_io_port(int32_t value);
    int32_t set_preview_window(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);
    int32_t set_capture_window(int32_t width, int32_t height);
    int32_t set_capture_window_ex(int32_t total_width, int32_t h_start, int32_t effective_width, int32_t total_height,
                                  int32_t v_start, int32_t effective_height);
    int32_t get_capture_window_ex(int32_t* total_width, int32_t* h_start, int32_t* effective_width,
                                  int32_t* total_height, int32_t* v_start, int32_t* effective_height);
    int32_t width() const { return load_relaxed(window_.width); }
    int32_t height() const { return load_relaxed(window_.height); }

    // ---- capture (capture_engine.cpp) ------------------------------------------------------
    int32_t start_preview();
    int32_t stop_preview();
    int32_t preview();
    int32_t callback_preview(HWND callback_window, void* buffer, int32_t size, int32_t top_down);
    int32_t capture();
    int32_t snap_shot(void* buffer, int32_t size, int32_t top_down);
    int32_t trigger(HWND callback_window, void* buffer, int32_t size, int32_t top_down);
    int32_t get_image(void* buffer, int32_t size, int32_t top_down);
    int32_t get_real_exposure_time(int32_t* ok);
    int32_t capture_mode() const { return capture_mode_.load(std::memory_order_relaxed); }
    // The calling thread is this camera's worker (it runs no application code; a call from
    // it that would wait for the worker fails with ERR_NOT_READY instead).
    bool on_worker_thread() const { return worker_id_.load() == std::this_thread::get_id(); }

    // ---- still images (still_image.cpp) ---------------------------------------------------
    int32_t save_image(const char* path, int32_t type);
    int32_t save_image_w(const IMVELA_WCHAR* path, int32_t type);
    // ---- recording (recording.cpp) --------------------------------------------------------
    int32_t record(const char* path, uint32_t duration_ms, int32_t show_window);
    int32_t record_w(const IMVELA_WCHAR* path, uint32_t duration_ms, int32_t show_window);
    // Of the running or last recording.
    RecordingCounts recording_counts();

    // ---- frame processing (frame_processing.cpp); frame lock held by the caller -------------
    // Runs the pipeline on the current frame with a copy of the settings, takes the
    // measurements back and steers the exposure or gain when the automatic control is on.
    void process_frame();
    // The automatic exposure or gain control alone, on a raw frame.
    void auto_iris(CImageBuffer& raw);

    // ---- property dialogs (dialog_support.cpp) ---------------------------------------------
    DialogLink& dialogs() { return dialogs_; }
    const CameraSettings& settings() const { return settings_; }
    // The blocks the dialogs edit in place (fields accessed with relaxed atomic operations).
    ImageProcessingBlock& filter_values() { return filter_; }
    AnalogBlock& analog_values() { return analog_; }
    // Stops preview or capture, or pauses the trigger worker; the capture mode it was in.
    int32_t pause_capture();
    // Starts again what pause_capture stopped.
    void resume_capture(int32_t mode);
    // Reloads the video format (size entry, colour mode, sub-sampling, wait time, clock) from
    // the settings store, as initialisation does.
    void reload_video_format();
    // Milliseconds of an exposure of `lines` by the line length and clock period last taken by
    // get_real_exposure_time.
    double exposure_milliseconds(int32_t lines);

    // ---- inspection for tests and tools --------------------------------------------------------
    CImvelaM61XZKRSdk* device() { return device_.get(); }
    CImageBuffer* buffer(BufferIndex index) { return buffers_[index].get(); }
    int32_t device_number() const { return load_relaxed(device_number_); }
    const ImageProcessingBlock& filter_block() const { return filter_; }
    const AnalogBlock& analog_block() const { return analog_; }
    CaptureWindow capture_window() const;
    int32_t image_available() const { return load_relaxed(image_available_); }
    int32_t frame_rate() const { return load_relaxed(frame_rate_); }
    const ImvelaFrameRecord& frame_record() const { return frame_record_; }

private:
    // White-box tests reach private state through this (defined only in tests).
    friend struct CImvelaTestAccess;

    // imvela.cpp
    void set_capture_window_fields(const CaptureWindow& window);
    void apply_analog_to_device();
    void save_groups();
    void load_groups();
    // Checks a device-name request (device, buffer, length, number, presence), recording the
    // failure; on success name holds "ImvelaM52-ZKR_NN" for the number.
    bool device_name_for(int32_t number, bool has_buffer, int32_t length, char (&name)[256]);

    // camera_controls.cpp
    bool window_is_programmable(const CaptureWindow& window) const;
    int32_t program_capture_window(const CaptureWindow& window);

    // capture_engine.cpp
    int32_t prepare_capture();
    int32_t create_mode_buffers();
    bool start_worker();
    void join_worker();
    // Waits for the stop signal for up to `milliseconds`; false when stopping.
    bool pause_unless_stopped(int32_t milliseconds);
    // Takes the capture-control lock, cancelling a single-frame read that holds it meanwhile.
    std::unique_lock<std::recursive_mutex> lock_capture_control_cancelling();
    void worker_main();
    void preview_worker();
    void trigger_worker();
    int32_t extract_into_raw(bool single);
    int32_t copy_frame(void* buffer, int32_t size, int32_t top_down);
    CImageBuffer* raw_buffer();
    CImageBuffer* output_buffer();
    int32_t begin_preview_with_window();
    void deliver_failure(HWND callback_window, int32_t code);
    void set_callback_target(HWND callback_window, void* buffer, int32_t size, int32_t top_down);
    void fill_frame_record(int32_t frame_rate);
    bool windowless_preview() const;

    // frame_processing.cpp: moves the exposure (mode 1) or gain (mode 2) by the factor in
    // hundredths.
    void steer_exposure(int32_t factor);

    // still_image.cpp; still lock held by the caller
    int32_t save_current_image(const char* path, int32_t type);
    bool has_current_image();
    // Copies the current image into `copy` under the frame lock when their formats match;
    // otherwise sizes `copy` for it (outside the lock) and returns false.
    bool copy_current_image(CImageBuffer& copy);
    // recording.cpp
    // The capture stop's hook: ends a running recording (its file is finished) and joins
    // the recording thread.
    void stop_recording();
    void join_recording();
    // The preview worker, after each finished frame, with no lock held: hands a copy of the
    // output image to a running recording.
    void mark_recorded_frame();
    void recording_main();
    bool prepare_recording_images(const CImageBuffer& out);
    const uint8_t* recorded_pixels(const CImageBuffer& copy);

    // preview_window.cpp
    int32_t create_preview_window();
    void destroy_preview_window();
    void paint_preview();
    bool preview_window_ready() const;
    void create_display_buffer();

    // The device-use table shared by every camera object of every process.
    DeviceUseTable use_table_{this};
    std::unique_ptr<CImvelaM61XZKRSdk> device_;
    std::unique_ptr<CImageBuffer> buffers_[kBufferCount];

    // preview window (preview_window.cpp)
    // The window and what painting needs; created and destroyed on application threads,
    // painted by the worker, swapped only under the frame lock.
    std::unique_ptr<platform::PreviewSurface> preview_;
    char window_class_[256] = "";
    HWND preview_parent_ = nullptr;
    PreviewRect preview_rect_;

    // The capture window as set; the running capture keeps the window and colour mode it
    // was prepared with (active_*), so changes wait for the next capture preparation.
    CaptureWindow window_;
    CaptureWindow active_window_;
    int32_t active_color_mode_ = 0;
    ImageProcessingBlock filter_;
    AnalogBlock analog_;
    DialogLink dialogs_;
    CameraSettings settings_;
    // The line length Imvela_GetRealExposureTime last read; capture-control lock.
    int32_t line_length_ = 0;

    // Still saving: the still lock serialises the saves of this camera object and guards the
    // copy they encode; it is taken before the frame lock, which is held only for the copy.
    std::mutex still_lock_;
    std::unique_ptr<CImageBuffer> still_copy_;

    // Lock order: a thread holding one of these takes only those listed after it.
    //   capture_control_lock_  (below)  capture exports and device choice; no worker takes it
    //   still_lock_            (above)  saves of still images
    //   recording_.lock        (below)  the recording's ring of frames
    //   frame_lock_                     image buffers, callback target, preview window
    //   pipeline_'s defect lock         the defect list
    // Leaves, holding nothing while held: history_'s lock, the device's stream lock, the
    // emulated driver's locks, the message queues. Messages are posted with no lock held
    // where a worker delivers frames and failures.
    // The frame lock guards the image buffers, the callback target and the preview window.
    std::recursive_mutex frame_lock_;
    FramePipeline pipeline_;
    int32_t defect_correction_ = 0;

    std::atomic<int32_t> run_state_{kStop};
    std::thread worker_;
    std::atomic<std::thread::id> worker_id_{};
    // The stop signal: the worker pauses on it, stopping sets it and waits on it for the
    // worker's end (worker_done_, guarded by the signal's lock, which is taken last).
    std::mutex stop_lock_;
    std::condition_variable stop_signal_;
    bool worker_done_ = true;
    // Keeps the shared band pool's workers running while this camera exists.
    BandPool::Lease band_lease_;
    // Serialises the capture exports (start, stop, capture, snapshot, trigger) of one camera
    // object; the worker never takes it, so stopping can wait for the worker while holding it.
    // Lock order: capture control, frame, defect; the stop signal's lock is taken alone.
    std::recursive_mutex capture_control_lock_;
    // Started and stopped by the capture exports under capture_control_lock_; filled by the
    // preview worker, written by the recording thread, which takes no camera lock.
    RecordingState recording_;

    HWND notify_window_ = nullptr;
    HWND callback_window_ = nullptr;
    void* callback_buffer_ = nullptr;
    int32_t callback_size_ = 0;
    int32_t top_down_ = 0;
    ImvelaFrameRecord frame_record_{};

    std::atomic<int32_t> capture_mode_{kIdle};
    int32_t color_mode_ = 0;  // index 0..5
    int32_t sub_sample_ = 0;
    int32_t wait_time_ = 10;  // pause of the preview worker before each frame, ms
    int32_t clock_ = 0;
    int32_t image_available_ = 0;
    int32_t frame_rate_ = 0;  // tenths of a frame per second
    int32_t frames_counted_ = 0;
    uint32_t rate_time_ = 0;
    ErrorHistory history_;
    int32_t device_number_ = 0;
};

}  // namespace imvela
