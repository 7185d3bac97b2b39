#pragma once
// The camera behind a viewer window: opens the first camera (the emulated one when none is
// attached and no choice was made), runs the live preview with every frame announced to the
// viewer's window, carries out the viewer's commands and keeps the status the window shows.
// An application of the library like any other: exported functions only.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "live_values.h"
#include "picture_probe.h"
#include "view_geometry.h"
#include "viewer_commands.h"

struct ViewerOptions {
    int32_t bits = 24;
    int32_t camera = 0;
    std::string output_folder = ".";
    uint32_t record_ms = 5000;
    // Imvela_SaveImage's type; -1: BMP at 8 bits a sample, PNG above (ordinary readers do
    // not open BMP files of 16-bit samples).
    int32_t still_type = -1;
    const char* still_extension = nullptr;
    bool help = false;

    // False with `error` set for an unknown option or value.
    bool parse(int argc, char** argv, std::string* error);
};

const char* viewer_usage();

// "camera 0 is in use by process 4748 (imvela-viewer) since 16:02" while another camera
// handle, of any process, holds the camera for capture; empty while it is free.
std::string holder_text(int32_t camera);

class ViewerSession {
public:
    using Clock = std::chrono::steady_clock;

    ViewerSession() = default;
    ~ViewerSession() { close(); }
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    // Opens the camera options.camera with `window` receiving the library's messages. When no camera answers
    // and the environment made no choice, `choose_emulator` (sets IMVELA_EMULATOR) is called
    // and the emulated camera opened. False with `error` set when nothing can be opened.
    bool open(HWND window, const ViewerOptions& options, bool (*choose_emulator)(), std::string* error);
    // Stops capture and releases the camera (its preview window goes with it).
    void close();
    int32_t image_width() const { return width_; }
    int32_t image_height() const { return height_; }

    // Shows the live picture in a child of `parent` (null: the library's own window) and
    // starts it; false with the message set when it cannot start.
    bool start(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);
    // Carries out a command (kQuit is the window's business); `dialog_owner` owns dialogs.
    void run(ViewerCommand command, HWND dialog_owner);

    // The library's messages, as the window received them.
    void on_message(uint32_t message, uintptr_t wparam, intptr_t lparam);
    // Called a few times a second: the frame rate, and the live preview back once a
    // recording is over. True when the status text changed.
    bool tick();

    // Status pieces: "24-bit colour, live", "29.9 frames/s, 310 frames", "no errors" /
    // "2 errors, last: error 8 ERR_TRANSFER (...)", and the outcome of the last command.
    std::string mode_text() const;
    std::string rate_text() const;
    std::string errors_text() const;
    const std::string& message() const { return message_; }
    // All of it on one line (the X11 viewer's title).
    std::string status_line() const;

    // The picture area: its size (the library's window is fitted into it, shape kept), and
    // what the mouse does over it, in area pixels.
    void set_picture_area(int32_t width, int32_t height);
    const ViewGeometry& geometry() const { return geometry_; }
    // Counts every change of the picture's place or size, for the window to follow.
    uint32_t geometry_version() const { return geometry_version_; }
    enum class Button { kLeft, kRight };
    void pointer_moved(int32_t x, int32_t y);
    void pressed(int32_t x, int32_t y, Button button);
    void released(int32_t x, int32_t y);
    void wheel(int32_t x, int32_t y, bool away);
    // The region being drawn, in area pixels; false while none is.
    bool region_outline(ViewRect* outline) const;

    // What the panel and the overlay show.
    const LiveValues& live_values() const { return live_values_; }
    int32_t handle() const { return handle_; }
    bool help_shown() const { return help_shown_; }
    const Histogram& histogram() const { return histogram_; }
    // "x 12, y 40: R 4012 G 2230 B 17", or empty while the mouse is off the picture.
    const std::string& readout() const { return readout_; }
    // Takes the picture for the histogram and the readout (the window's timer calls it).
    void take_picture();
    // The help's lines: keys, special keys and the mouse.
    static std::vector<std::string> help_lines(bool with_adjustments);

    int32_t color_bits() const { return bits_; }
    const SensorWindow& capture_window() const { return capture_window_; }

private:
    enum class Mode { kStopped, kLive, kTrigger };

    bool restart(Mode mode);
    void change_color_mode(int32_t bits);
    void adjust(ViewerCommand command);
    void pan_by_key(ViewerCommand command);
    bool apply_capture_window(const SensorWindow& window, const char* what);
    void read_capture_window();
    void update_readout();
    // The picture's place or size changed.
    void moved();
    void finish_recording();
    void save_still();
    void record();
    void toggle_trigger();
    void fire_trigger();
    void open_dialog(ViewerCommand command, HWND owner);
    // The message for a failed call, with the library's cause.
    void report_failure(const char* what);
    std::string next_free_name(const char* stem, const char* extension);

    int32_t handle_ = 0;
    HWND window_ = nullptr;
    ViewerOptions options_;
    bool emulated_ = false;
    std::string device_name_;
    int32_t width_ = 0, height_ = 0;
    Mode mode_ = Mode::kStopped;
    int32_t bits_ = 24;
    // Frames since the current mode started, and within the current rate interval.
    int64_t frames_ = 0;
    int64_t interval_frames_ = 0;
    Clock::time_point interval_start_ = Clock::now();
    double frames_per_second_ = 0;
    int64_t errors_ = 0;
    int32_t last_error_ = 0;
    bool recording_ = false;
    Clock::time_point recording_over_;
    // Asked for while recording, done when it is over: a colour mode (0: none) and the
    // trigger's switch.
    int32_t queued_bits_ = 0;
    bool queued_trigger_ = false;
    std::string message_;

    // The stream's counts since capture started, and the number of the frame shown last
    // (-1 before the first).
    int64_t skipped_frames_ = 0, failed_transfers_ = 0, sequence_ = -1;

    LiveValues live_values_;
    PictureProbe probe_;
    Histogram histogram_;
    ViewGeometry geometry_;
    uint32_t geometry_version_ = 0;
    int32_t area_width_ = 0, area_height_ = 0;
    HWND parent_ = nullptr;
    int32_t area_x_ = 0, area_y_ = 0;
    SensorWindow capture_window_, first_window_;
    bool help_shown_ = false;
    // The mouse: its last place, the button held and where it went down.
    int32_t pointer_x_ = -1, pointer_y_ = -1;
    bool pointer_on_ = false;
    bool dragging_ = false;
    Button drag_button_ = Button::kLeft;
    int32_t drag_x_ = 0, drag_y_ = 0;
    std::string readout_;
};
