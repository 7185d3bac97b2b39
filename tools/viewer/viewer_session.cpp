#include "viewer_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "error_text.h"

namespace {

struct StillForm {
    const char* name;
    int32_t type;
};
constexpr StillForm kStillForms[] = {{"bmp", 0}, {"raw", 1}, {"jpg", 2}, {"png", 5}, {"tif", 6}};

// After the recording's time, what may pass before its first frame came.
constexpr auto kRecordingStartSlack = std::chrono::milliseconds(2000);
constexpr auto kRateInterval = std::chrono::milliseconds(1000);

bool parse_count(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && *value >= low && *value <= high;
}

const char* mode_name(int32_t bits) {
    switch (bits) {
        case 8: return "8-bit gray";
        case 16: return "16-bit gray";
        case 24: return "24-bit colour";
        case 32: return "32-bit colour";
        case 48: return "48-bit colour";
        default: return "64-bit colour";
    }
}

}  // namespace

const char* viewer_usage() {
    return "usage: imvela-viewer [--bits 8|16|24|32|48|64] [--output FOLDER] [--record-seconds N]\n"
           "                     [--still bmp|raw|jpg|png|tif]\n"
           "Shows the live picture of camera 0 (the emulated camera when none is attached).\n"
           "Stills (still-NNN.EXT) and recordings (recording-NNN.avi) go into FOLDER (default: the\n"
           "current folder); a recording lasts N seconds (default 5).\n";
}

bool ViewerOptions::parse(int argc, char** argv, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            help = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "missing value after " + option;
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        if (option == "--bits" && parse_count(value, 8, 64, &number) && number % 8 == 0 && number != 40 &&
            number != 56) {
            bits = static_cast<int32_t>(number);
        } else if (option == "--output") {
            output_folder = value;
        } else if (option == "--record-seconds" && parse_count(value, 1, 3600, &number)) {
            record_ms = static_cast<uint32_t>(number) * 1000;
        } else if (option == "--still") {
            const StillForm* form = nullptr;
            for (const StillForm& f : kStillForms)
                if (std::strcmp(f.name, value) == 0) form = &f;
            if (!form) {
                *error = std::string("unknown still type ") + value;
                return false;
            }
            still_type = form->type;
            still_extension = form->name;
        } else {
            *error = "unknown option or value: " + option + " " + value;
            return false;
        }
    }
    return true;
}

void ViewerSession::close() {
    if (handle_) Imvela_Release(handle_);
    handle_ = 0;
    mode_ = Mode::kStopped;
}

bool ViewerSession::open(HWND window, const ViewerOptions& options, bool (*choose_emulator)(), std::string* error) {
    options_ = options;
    window_ = window;
    // A first look without a window, so that a missing camera posts no error to the viewer.
    static char names[32][256];
    const int32_t probe = Imvela_Initialize(nullptr);
    int32_t cameras = probe ? Imvela_EnumDevice(probe, names) : 0;
    if (probe) Imvela_Release(probe);
    const bool fell_back = cameras <= 0 && choose_emulator && choose_emulator();
    handle_ = Imvela_Initialize(window);
    if (!handle_) {
        *error = "the camera library could not be initialised";
        return false;
    }
    char name[256] = "";
    if (!Imvela_GetDeviceName(handle_, 0, name, sizeof name)) {
        const int32_t code = Imvela_GetLastError(handle_);
        *error = "no camera: " + describe_error(code);
        return false;
    }
    device_name_ = name;
    width_ = Imvela_Width(handle_);
    height_ = Imvela_Height(handle_);
    if (Imvela_SetColorMode(handle_, options.bits) != 1) {
        *error = "colour mode " + std::to_string(options.bits) + " refused";
        return false;
    }
    bits_ = options.bits;
    std::error_code ignored;
    std::filesystem::create_directories(options.output_folder, ignored);
    // The emulator answers for its own cameras only.
    emulated_ = ImvelaEmu_FrameCount(0) >= 0;
    message_ = (fell_back ? "no camera attached: emulated camera " : emulated_ ? "emulated camera " : "camera ") + device_name_;
    return true;
}

bool ViewerSession::start(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (Imvela_SetPreviewWindow(handle_, parent, x, y, width, height) != 1) {
        report_failure("preview window");
        return false;
    }
    return restart(Mode::kLive);
}

bool ViewerSession::restart(Mode mode) {
    Imvela_StopPreview(handle_);
    mode_ = Mode::kStopped;
    frames_ = interval_frames_ = 0;
    frames_per_second_ = 0;
    interval_start_ = Clock::now();
    const int32_t ok = mode == Mode::kLive ? Imvela_CallBackPreview(handle_, window_, nullptr, 0, 0)
                                           : Imvela_Trigger(handle_, window_, nullptr, 0, 0);
    if (ok != 1) {
        report_failure(mode == Mode::kLive ? "live picture" : "trigger mode");
        return false;
    }
    mode_ = mode;
    return true;
}

void ViewerSession::run(ViewerCommand command, HWND dialog_owner) {
    if (command >= kShowGray8 && command < kShowGray8 + kColorModeCount)
        change_color_mode(kColorModeBits[command - kShowGray8]);
    else if (is_dialog_command(command))
        open_dialog(command, dialog_owner);
    else if (command == kSaveStill)
        save_still();
    else if (command == kRecord)
        record();
    else if (command == kToggleTrigger)
        toggle_trigger();
    else if (command == kFireTrigger)
        fire_trigger();
}

void ViewerSession::change_color_mode(int32_t bits) {
    if (recording_) {
        message_ = "the colour mode changes once the recording is over";
        return;
    }
    const Mode mode = mode_ == Mode::kStopped ? Mode::kLive : mode_;
    Imvela_StopPreview(handle_);
    if (Imvela_SetColorMode(handle_, bits) != 1) {
        report_failure("colour mode");
    } else {
        bits_ = bits;
        message_ = mode_name(bits);
    }
    restart(mode);
}

void ViewerSession::save_still() {
    // A still is of the picture on show: none until a frame of this mode came.
    if (frames_ == 0 && !recording_) {
        message_ = "no picture yet to save";
        return;
    }
    const std::string path = next_free_name("still", options_.still_extension);
    if (Imvela_SaveImage(handle_, path.c_str(), options_.still_type) == 1)
        message_ = "saved " + path;
    else
        report_failure(("saving " + path).c_str());
}

void ViewerSession::record() {
    if (recording_) {
        message_ = "a recording is running";
        return;
    }
    if (mode_ == Mode::kTrigger) restart(Mode::kLive);
    const std::string path = next_free_name("recording", "avi");
    if (Imvela_Record(handle_, path.c_str(), options_.record_ms, 1) != 1) {
        report_failure(("recording " + path).c_str());
        return;
    }
    // The recording takes the frames over: none are announced until it is over.
    recording_ = true;
    recording_over_ = Clock::now() + std::chrono::milliseconds(options_.record_ms) + kRecordingStartSlack;
    message_ = "recording " + path;
}

void ViewerSession::toggle_trigger() {
    if (recording_) {
        message_ = "the trigger waits until the recording is over";
        return;
    }
    const bool arm = mode_ != Mode::kTrigger;
    if (restart(arm ? Mode::kTrigger : Mode::kLive))
        message_ = arm ? (emulated_ ? "trigger armed: f fires it" : "trigger armed: waiting for the trigger input")
                       : "live picture";
}

void ViewerSession::fire_trigger() {
    if (mode_ != Mode::kTrigger) {
        message_ = "arm the trigger first";
        return;
    }
    message_ = ImvelaEmu_Trigger(0) == 1 ? "trigger fired" : "no emulated camera: waiting for the trigger input";
}

void ViewerSession::open_dialog(ViewerCommand command, HWND owner) {
    const int32_t shown = command == kOpenCameraDialog  ? Imvela_SetCameraDlg(handle_, owner)
                          : command == kOpenImageDialog ? Imvela_SetImageDlg(handle_, owner)
                                                        : Imvela_SetAnalogDlg(handle_, owner);
    if (shown != 1) {
        report_failure("dialog");
        return;
    }
    message_.clear();
    // The camera dialog may have changed the format.
    const int32_t reported = Imvela_GetColorMode(handle_);
    for (int32_t bits : kColorModeBits)
        if (reported == bits || (bits == 16 && reported == 12) || (bits == 48 && reported == 44) ||
            (bits == 64 && reported == 60))
            bits_ = bits;
}

void ViewerSession::report_failure(const char* what) {
    const int32_t code = Imvela_GetLastError(handle_);
    message_ = std::string(what) + " failed";
    if (code != 0) message_ += ": " + describe_error(code);
}

std::string ViewerSession::next_free_name(const char* stem, const char* extension) {
    char name[64];
    std::string path;
    for (int n = 1; n < 100000; ++n) {
        std::snprintf(name, sizeof name, "%s-%03d.%s", stem, n, extension);
        path = (std::filesystem::path(options_.output_folder) / name).string();
        std::error_code ignored;
        if (!std::filesystem::exists(path, ignored)) break;
    }
    return path;
}

void ViewerSession::on_message(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (message == WM_CAMERA_FRAME && wparam != 0) {
        ++frames_;
        ++interval_frames_;
    } else if (message == WM_CAMERA_ERROR) {
        ++errors_;
        last_error_ = static_cast<int32_t>(lparam);
    }
}

bool ViewerSession::tick() {
    const std::string before = status_line();
    const Clock::time_point now = Clock::now();
    if (now - interval_start_ >= kRateInterval) {
        frames_per_second_ =
            static_cast<double>(interval_frames_) / std::chrono::duration<double>(now - interval_start_).count();
        interval_frames_ = 0;
        interval_start_ = now;
    }
    if (recording_ && now >= recording_over_) {
        recording_ = false;
        if (restart(Mode::kLive) && message_.rfind("recording ", 0) == 0) message_.replace(0, 9, "recorded");
    }
    return status_line() != before;
}

std::string ViewerSession::mode_text() const {
    const char* state = recording_ ? "recording" : mode_ == Mode::kLive ? "live" : mode_ == Mode::kTrigger ? "trigger" : "stopped";
    return std::string(mode_name(bits_)) + ", " + state;
}

std::string ViewerSession::rate_text() const {
    if (recording_) return "frames go to the recording";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f frames/s, %lld frames", frames_per_second_, static_cast<long long>(frames_));
    return text;
}

std::string ViewerSession::errors_text() const {
    if (errors_ == 0) return "no errors";
    return std::to_string(errors_) + (errors_ == 1 ? " error" : " errors") + ", last: " + describe_error(last_error_);
}

std::string ViewerSession::status_line() const {
    std::string line = "Imvela viewer - " + mode_text() + " - " + rate_text() + " - " + errors_text();
    if (!message_.empty()) line += " - " + message_;
    return line;
}
