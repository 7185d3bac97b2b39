#pragma once
// One camera as the tool's commands use it: a handle on a camera number, its message
// window, failures reported with the library's error codes.
#include <cstdint>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "message_window.h"

// The colour modes Imvela_SetColorMode takes, in the order of the settings store's colour index.
constexpr int32_t kColorModes[] = {8, 16, 24, 32, 48, 64};
// Imvela_GetColorMode's report (8 12 24 32 44 60) as the bits Imvela_SetColorMode takes; 0
// for anything else.
int32_t color_mode_bits(int32_t reported);
// Room for any capture window at `bits`: the whole sensor, rows padded to 4 bytes.
size_t frame_bytes(int32_t bits);

class ToolCamera {
public:
    ToolCamera() = default;
    // Releases the handle; a colour mode changed with use_mode is put back first, so that a
    // command's temporary mode does not stay with the camera.
    ~ToolCamera();
    ToolCamera(const ToolCamera&) = delete;
    ToolCamera& operator=(const ToolCamera&) = delete;

    // Makes the handle (on whatever camera it finds first); false (after printing why not,
    // unless `quiet`) when there is no usable camera object.
    bool initialise(bool quiet = false);
    // Opens camera `number`; false after printing why not.
    bool open(int32_t number);
    // The colour mode for this command (put back at release); false after a message.
    bool use_mode(int32_t bits);
    // Captures without a preview window: frames are processed and delivered, nothing shown.
    void windowless();

    // Releases the handle now; false (after a message unless `quiet`) when the library
    // reported that it could not save the camera's settings.
    bool release(bool quiet = false);

    int32_t handle() const { return handle_; }
    int32_t number() const { return number_; }
    MessageWindow& window() { return window_; }
    // The current colour mode in bits (8 16 24 32 48 64).
    int32_t bits() const;

    // The codes recorded since the last look, newest first; empties the history.
    std::vector<int32_t> take_errors();
    // Prints "imvela: WHAT failed: error N NAME (meaning)" for the codes recorded since the
    // last look, the first (the cause) first; returns kFailed.
    int fail(const std::string& what);
    // Prints each recorded code as "  error N NAME (meaning) WHEN"; the number printed.
    int print_errors(const char* when);

private:
    MessageWindow window_;
    int32_t handle_ = 0;
    int32_t number_ = 0;
    int32_t restore_bits_ = 0;
};

struct CommandLine;
// Opens the camera of --camera in the mode of --mode (checked first: a wrong value is a usage
// error, kUsageError), windowless; kSucceeded, or the exit status after a message.
int open_for_capture(const CommandLine& line, ToolCamera* camera);

// "1.180.5.31": the version of the library this tool runs with.
std::string library_version();
// The numbers of the attached cameras (0 to 31), through any handle.
std::vector<int32_t> attached_cameras(int32_t handle);
// The device name of camera `number` through any handle; empty when it is not attached.
std::string device_name(int32_t handle, int32_t number);
// The printable start of the camera's serial-ROM identifier; empty when it has none.
std::string rom_identifier(int32_t handle);
// Whether another program holds camera `number` of this handle: a one-frame capture
// fails with ERR_DEVICE_UNAVAILABLE then (holder_text names it).
enum class CameraUse { free, held_elsewhere, unknown };
CameraUse probe_camera_use(ToolCamera& camera);
