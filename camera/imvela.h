#pragma once
// CImvela: the camera object behind one handle. It owns the device object, the capture engine,
// the preview window and every setting of one camera, and keeps the export surface.
//
// Its operations live in several files by concern:
//   imvela.cpp          construction, initialisation, device choice, enumeration, close, release
//   camera_controls.cpp filter values, mirrors, exposure, registers, ports, serial ROM,
//                       capture window, defect correction and its file
//   camera_capture.cpp  capture preparation and the capture exports over the capture engine,
//                       still images through the StillSaver (still_saver.h)
//   camera_frames.cpp   the pipeline run on each frame, automatic exposure, defect file
//   dialog_support.cpp  what the property dialogs ask of the camera
//   recording.cpp       AVI recording: its start here, the Recorder (recorder.h) and its thread
//   diagnostics.cpp     the device's holder, the last frame's number, the stream's counts
// The per-frame image processing itself is the FramePipeline (frame_pipeline.h).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ImvelaSdk.h"
#include "camera/capture_engine.h"
#include "camera/error_history.h"
#include "camera/frame_pipeline.h"
#include "imaging/image_set.h"
#include "preview/preview_window.h"
#include "settings/capture_window.h"
#include "device/device_use_table.h"
#include "camera/dialog_link.h"
#include "camera/recorder.h"
#include "settings/setting_blocks.h"
#include "camera/shared_setting.h"
#include "camera/still_saver.h"
#include "settings/camera_settings.h"
#include "files/defect_list.h"
#include "imaging/band_pool.h"

namespace imvela {

class CImvelaM61XZKRSdk;
class CImageBuffer;

// The self-check (diagnostics.cpp): appends the report of the parts (IMVELA_SELFTEST_*) to
// `report` and returns the number of failed checks; the camera part runs when `camera` is
// given. copy_report: `text` into the caller's buffer, cut to fit and terminated; false when
// it was cut.
class CImvela;
int32_t self_test(CImvela* camera, int32_t parts, std::string& report);
bool copy_report(const std::string& text, char* report, int32_t report_size);

class CImvela : private CaptureHost {
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
    int32_t record_error(int32_t code) override;
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
    int32_t wait_time() const { return engine_.wait_time(); }

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
    // Stores one value of the analog block and, for gain, exposure and the mirrors, programs
    // the sensor with it: the one path from an analog value to the device. 1, or 0 after
    // recording ERR_NOT_READY (no device), ERR_ARGUMENT (no such position) or ERR_DEVICE_IO
    // (the sensor did not take it; the value stays stored). No range test: callers do it.
    int32_t apply_analog_value(int position, int32_t value);
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

    // ---- capture (camera_capture.cpp) -----------------------------------------------------
    int32_t start_preview();
    int32_t stop_preview();
    int32_t preview();
    int32_t callback_preview(HWND callback_window, void* buffer, int32_t size, int32_t top_down);
    int32_t capture();
    int32_t snap_shot(void* buffer, int32_t size, int32_t top_down);
    int32_t trigger(HWND callback_window, void* buffer, int32_t size, int32_t top_down);
    int32_t get_image(void* buffer, int32_t size, int32_t top_down);
    int32_t get_real_exposure_time(int32_t* ok);
    int32_t capture_mode() const { return engine_.mode(); }
    // The calling thread is this camera's worker (it runs no application code; a call from
    // it that would wait for the worker fails with ERR_NOT_READY instead).
    bool on_worker_thread() const { return engine_.on_worker_thread(); }

    // ---- still images (StillSaver, still_saver.h) ------------------------------------------
    int32_t save_image(const char* path, int32_t type);
    int32_t save_image_w(const IMVELA_WCHAR* path, int32_t type);
    // ---- recording (recording.cpp) --------------------------------------------------------
    int32_t record(const char* path, uint32_t duration_ms, int32_t show_window);
    int32_t record_w(const IMVELA_WCHAR* path, uint32_t duration_ms, int32_t show_window);
    // Of the running or last recording.
    RecordingCounts recording_counts() { return recording_.counts_now(); }

    // ---- frame processing (camera_frames.cpp) ----------------------------------------------
    // The automatic exposure or gain control alone, on a raw frame of a colour mode.
    void auto_iris(CImageBuffer& raw, int32_t color_mode);

    // ---- diagnostics (diagnostics.cpp): 1, or 0 after recording the error ------------------
    int32_t get_device_holder(int32_t number, ImvelaDeviceHolder* holder);
    int32_t get_frame_info(ImvelaFrameInfo* info);
    int32_t get_stream_stats(ImvelaStreamStats* stats);
    // ImvelaDiag_SelfTest on this camera: 1 when every check passed.
    int32_t self_test(int32_t parts, char* report, int32_t report_size);

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
    CaptureEngine& capture_engine() { return engine_; }
    PreviewWindow& preview_window() { return preview_window_; }
    DeviceUseTable& use_table() { return use_table_; }
    int32_t device_number() const { return load_relaxed(device_number_); }
    const ImageProcessingBlock& filter_block() const { return filter_; }
    const AnalogBlock& analog_block() const { return analog_; }
    CaptureWindow capture_window() const;
    int32_t image_available() const { return engine_.image_available(); }
    int32_t frame_rate() const { return engine_.frame_rate(); }
    const ImvelaFrameRecord& frame_record() const { return engine_.frame_record(); }

private:
    // CaptureHost (camera_capture.cpp, camera_frames.cpp)
    bool prepare_capture() override;
    bool process_frame(ImageSet& images, CImageBuffer& raw, CImageBuffer* output, CImageBuffer* in_place,
                       int32_t color_mode, const CaptureWindow& window) override;
    void reprocess_frame(ImageSet& images, CImageBuffer& raw, int32_t color_mode, const CaptureWindow& window) override;
    bool output_read_every_frame() override { return recording_.active.load(std::memory_order_relaxed) != 0; }
    void frame_finished() override { recording_.frame_finished(); }
    void claim_device() override { claim_device(device_number()); }
    void release_device() override { release_device(device_number()); }

    // imvela.cpp
    void set_capture_window_fields(const CaptureWindow& window);
    // Sends the analog values to the sensor; false when one was not taken.
    bool apply_analog_to_device();
    void save_groups();
    void load_groups();
    // Checks a device-name request (device, buffer, length, number, presence), recording the
    // failure; on success name holds "ImvelaM52-ZKR_NN" for the number.
    bool device_name_for(int32_t number, bool has_buffer, int32_t length, char (&name)[256]);

    // camera_controls.cpp
    bool window_is_programmable(const CaptureWindow& window) const;
    int32_t program_capture_window(const CaptureWindow& window);

    // camera_capture.cpp; capture-control lock held by the caller
    int32_t start_preview_locked();
    // Ends a recording and any capture mode.
    int32_t stop_locked();
    int32_t close_locked();
    // close_locked but for the window: the capture stopped, the image and held handle gone.
    void stop_and_forget_locked();
    // Starts the preview once its window is made; closes again when it cannot start.
    int32_t begin_preview_locked();
    // Reads the line length the exposure time is figured from.
    void read_line_length_locked();

    // camera_frames.cpp: moves the exposure (mode 1) or gain (mode 2) by the factor in
    // hundredths.
    void steer_exposure(int32_t factor);

    // A still saver's outcome as the export's result, recording ERR_NOT_READY for no image.
    int32_t still_result(StillSaver::Outcome outcome);

    // The preview window for the current capture window; 0 when it cannot be made.
    int32_t create_preview_window();
    // The window unless the application asked for none; 0 when it cannot be made.
    int32_t create_wanted_preview_window();

    // The device-use table shared by every camera object of every process.
    DeviceUseTable use_table_{this};
    std::unique_ptr<CImvelaM61XZKRSdk> device_;
    PreviewWindow preview_window_;

    // The capture window as set; the capture engine keeps the window and colour mode a
    // capture was prepared with, so changes wait for the next capture preparation.
    CaptureWindow window_;
    ImageProcessingBlock filter_;
    AnalogBlock analog_;
    DialogLink dialogs_;
    CameraSettings settings_;
    // The line length Imvela_GetRealExposureTime last read (relaxed accesses).
    int32_t line_length_ = 0;

    // The locks and their order: docs/locks.md.

    // Holds the engine it copies images from; uses it only while saving.
    StillSaver stills_{engine_};

    FramePipeline pipeline_;
    // The settings and measurements the last frame was processed with, for reprocess_frame;
    // guarded by the engine's frame lock.
    FrameSettings last_frame_settings_;
    int32_t defect_correction_ = 0;
    // Keeps the shared band pool's workers running while this camera exists.
    BandPool::Lease band_lease_;
    // Started and stopped by the capture exports under the capture-control lock; filled by
    // the preview worker (frame_finished), written by the recording thread, which takes no
    // camera lock.
    Recorder recording_{engine_, *this};

    HWND notify_window_ = nullptr;
    int32_t color_mode_ = 0;  // index 0..5
    int32_t sub_sample_ = 0;
    int32_t clock_ = 0;
    ErrorHistory history_;
    int32_t device_number_ = 0;

    // Last: its worker calls into the members above, so it goes first.
    CaptureEngine engine_{*this, preview_window_};
};

}  // namespace imvela
