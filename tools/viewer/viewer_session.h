#pragma once
// The camera behind a viewer window: opens the first camera (the emulated one when none is
// attached and no choice was made), runs the live preview with every frame announced to the
// viewer's window, carries out the viewer's commands and keeps the status the window shows.
// An application of the library like any other: exported functions only.
#include <chrono>
#include <cstdint>
#include <string>

#include "ImvelaSdk.h"
#include "viewer_commands.h"

struct ViewerOptions {
    int32_t bits = 24;
    std::string output_folder = ".";
    uint32_t record_ms = 5000;
    int32_t still_type = 0;  // Imvela_SaveImage's type
    const char* still_extension = "bmp";
    bool help = false;

    // False with `error` set for an unknown option or value.
    bool parse(int argc, char** argv, std::string* error);
};

const char* viewer_usage();

class ViewerSession {
public:
    using Clock = std::chrono::steady_clock;

    ViewerSession() = default;
    ~ViewerSession() { close(); }
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    // Opens camera 0 with `window` receiving the library's messages. When no camera answers
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

private:
    enum class Mode { kStopped, kLive, kTrigger };

    bool restart(Mode mode);
    void change_color_mode(int32_t bits);
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
    std::string message_;
};
