#include "viewer_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>

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
    return "usage: imvela-viewer [--camera N] [--bits 8|16|24|32|48|64] [--output FOLDER]\n"
           "                     [--record-seconds N] [--still bmp|raw|jpg|png|tif]\n"
           "Shows the live picture of camera N (default 0; the emulated camera when none is attached).\n"
           "Stills (still-NNN.EXT) and recordings (recording-NNN.avi) go into FOLDER (default: the\n"
           "current folder); a recording lasts N seconds (default 5). Stills are BMP files at 8 bits\n"
           "a sample and PNG files above unless --still chooses.\n";
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
        } else if (option == "--camera" && parse_count(value, 0, 31, &number)) {
            camera = static_cast<int32_t>(number);
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
    // A camera another program holds gives no picture: said first, in one line.
    const std::string held = holder_text(options.camera);
    if (!held.empty()) {
        *error = held;
        return false;
    }
    handle_ = Imvela_Initialize(window);
    if (!handle_) {
        *error = "the camera library could not be initialised";
        return false;
    }
    const std::string which = "camera " + std::to_string(options.camera);
    if (options.camera >= std::max(cameras, 1)) {
        *error = "no " + which + ": " + std::to_string(std::max(cameras, 0)) + " attached (cameras are numbered from 0)";
        return false;
    }
    if (options.camera != 0 && Imvela_SetDeviceNumber(handle_, options.camera) != 1) {
        *error = which + " could not be opened: " + describe_error(Imvela_GetLastError(handle_));
        return false;
    }
    char name[256] = "";
    if (!Imvela_GetDeviceName(handle_, options.camera, name, sizeof name)) {
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
    emulated_ = ImvelaEmu_FrameCount(options.camera) >= 0;
    message_ = (fell_back ? "no camera attached: emulated camera " : emulated_ ? "emulated camera " : "camera ") + device_name_;
    read_capture_window();
    first_window_ = capture_window_;
    live_values_.load(handle_);
    return true;
}

std::string holder_text(int32_t camera) {
    ImvelaDeviceHolder holder{};
    holder.size = sizeof holder;
    // A stale entry (its process gone) is taken over by the next capture.
    if (ImvelaDiag_GetDeviceHolder(0, camera, &holder) != 1 || !holder.in_use || !holder.alive) return "";
    std::string text = "camera " + std::to_string(camera) + " is in use";
    if (holder.process_id) text += " by process " + std::to_string(holder.process_id);
    holder.executable[sizeof holder.executable - 1] = '\0';
    if (holder.executable[0]) text += std::string(" (") + holder.executable + ")";
    const std::time_t since = static_cast<std::time_t>(holder.since);
    if (const std::tm* local = holder.since > 0 ? std::localtime(&since) : nullptr) {
        char clock[16];
        std::strftime(clock, sizeof clock, "%H:%M", local);
        text += std::string(" since ") + clock;
    }
    return text;
}

void ViewerSession::read_capture_window() {
    SensorWindow& w = capture_window_;
    Imvela_GetCaptureWindowEx(handle_, &w.total_width, &w.h_start, &w.width, &w.total_height, &w.v_start, &w.height);
    width_ = Imvela_Width(handle_);
    height_ = Imvela_Height(handle_);
}

void ViewerSession::moved() {
    ++geometry_version_;
    // A window the library makes anew (at each start of capture) takes the place at once.
    if (!parent_) return;
    const ViewRect p = geometry_.picture();
    Imvela_SetPreviewWindow(handle_, parent_, area_x_ + p.x, area_y_ + p.y, p.width, p.height);
}

bool ViewerSession::start(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
    set_picture_area(width, height);
    if (width > 0 && height > 0) {
        parent_ = parent;
        area_x_ = x;
        area_y_ = y;
    }
    // An empty area: the preview runs without a window.
    const ViewRect picture = width > 0 && height > 0 ? geometry_.picture() : ViewRect{-x, -y, 0, 0};
    if (Imvela_SetPreviewWindow(handle_, parent, x + picture.x, y + picture.y, picture.width, picture.height) != 1) {
        report_failure("preview window");
        return false;
    }
    return restart(Mode::kLive);
}

void ViewerSession::set_picture_area(int32_t width, int32_t height) {
    area_width_ = width;
    area_height_ = height;
    geometry_.reset(width_, height_, width, height);
    moved();
}

bool ViewerSession::restart(Mode mode) {
    Imvela_StopPreview(handle_);
    mode_ = Mode::kStopped;
    frames_ = interval_frames_ = 0;
    sequence_ = -1;
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
    else if (command == kToggleHelp)
        help_shown_ = !help_shown_;
    else if (is_adjustment_command(command))
        adjust(command);
    else if (command == kZoomIn || command == kZoomOut)
        wheel(area_width_ / 2, area_height_ / 2, command == kZoomIn);
    else if (command >= kPanLeft && command <= kPanDown)
        pan_by_key(command);
    else if (command == kWholeWindow)
        apply_capture_window(first_window_, "capture window at start");
}

void ViewerSession::adjust(ViewerCommand command) {
    if (command == kChoosePrevious || command == kChooseNext) {
        live_values_.choose_next(command == kChooseNext ? 1 : -1);
        message_ = LiveValues::describe(handle_, live_values_.values()[static_cast<size_t>(live_values_.chosen())]);
        return;
    }
    const int32_t steps = command == kDecrease ? -1 : command == kIncrease ? 1 : command == kDecreaseMore ? -10 : 10;
    if (!live_values_.change(handle_, steps, &message_)) {
        const int32_t code = Imvela_GetLastError(handle_);
        if (code) message_ += ": " + describe_error(code);
    }
}

void ViewerSession::pan_by_key(ViewerCommand command) {
    const int32_t step_x = std::max(area_width_ / 8, 1), step_y = std::max(area_height_ / 8, 1);
    // The picture moves the other way from the look.
    geometry_.pan(command == kPanLeft ? step_x : command == kPanRight ? -step_x : 0,
                  command == kPanUp ? step_y : command == kPanDown ? -step_y : 0);
    moved();
}

void ViewerSession::change_color_mode(int32_t bits) {
    if (recording_) {
        queued_bits_ = bits;
        message_ = std::string("the colour mode changes to ") + mode_name(bits) + " once the recording is over";
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
    // Ordinary readers take BMP files of 8-bit samples only.
    const bool wide = bits_ == 16 || bits_ == 48 || bits_ == 64;
    const int32_t type = options_.still_type >= 0 ? options_.still_type : wide ? 5 : 0;
    const char* extension = options_.still_extension ? options_.still_extension : wide ? "png" : "bmp";
    const std::string path = next_free_name("still", extension);
    if (Imvela_SaveImage(handle_, path.c_str(), type) == 1)
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
        queued_trigger_ = !queued_trigger_;
        message_ = queued_trigger_ ? "the trigger is armed once the recording is over" : "no trigger after the recording";
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
        if (Imvela_GetLastError(handle_) == ERR_NOT_SUPPORTED) {
            // No property dialogs on this system: the panel's values do their work.
            if (command == kOpenCameraDialog) {
                message_ = "no camera dialog here: keys 1 to 6 choose the colour mode, a region drawn with the mouse "
                           "the capture window";
            } else {
                live_values_.choose_first(command == kOpenAnalogDialog);
                message_ = std::string("no dialog here: the panel's ") + (command == kOpenAnalogDialog ? "analog" : "filter") +
                           " values are chosen (Up/Down choose, Left/Right change)";
            }
            return;
        }
        report_failure("dialog");
        return;
    }
    message_.clear();
    // The camera dialog may have changed the format and the window.
    read_capture_window();
    set_picture_area(area_width_, area_height_);
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
        // A post of the capture before the last restart may still be queued: it is no frame
        // of this one until the library has delivered one since the start.
        ImvelaStreamStats stats{};
        stats.size = sizeof stats;
        if (ImvelaDiag_GetStreamStats(handle_, &stats) != 1 || stats.frames_delivered == 0) return;
        ++frames_;
        ++interval_frames_;
        ImvelaFrameInfo info{};
        info.size = sizeof info;
        if (ImvelaDiag_GetFrameInfo(handle_, &info) == 1) sequence_ = static_cast<int64_t>(info.sequence);
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
    ImvelaStreamStats stats{};
    stats.size = sizeof stats;
    if (handle_ && ImvelaDiag_GetStreamStats(handle_, &stats) == 1) {
        skipped_frames_ = stats.frames_skipped;
        failed_transfers_ = stats.transfers_failed;
    }
    if (recording_ && now >= recording_over_) finish_recording();
    return status_line() != before;
}

void ViewerSession::finish_recording() {
    recording_ = false;
    const bool restarted = restart(Mode::kLive);
    if (restarted && message_.rfind("recording ", 0) == 0) message_.replace(0, 9, "recorded");
    // What was asked for meanwhile.
    if (queued_bits_) {
        const int32_t bits = queued_bits_;
        queued_bits_ = 0;
        change_color_mode(bits);
    }
    if (queued_trigger_) {
        queued_trigger_ = false;
        toggle_trigger();
    }
}

std::string ViewerSession::mode_text() const {
    const char* state = recording_ ? "recording" : mode_ == Mode::kLive ? "live" : mode_ == Mode::kTrigger ? "trigger" : "stopped";
    return std::string(mode_name(bits_)) + ", " + state;
}

std::string ViewerSession::rate_text() const {
    if (recording_) return "frames go to the recording";
    char text[160];
    std::snprintf(text, sizeof text, "%.1f frames/s, %lld frames, %lld skipped, %lld failed", frames_per_second_,
                  static_cast<long long>(frames_), static_cast<long long>(skipped_frames_),
                  static_cast<long long>(failed_transfers_));
    std::string line = text;
    if (sequence_ >= 0) line += ", frame #" + std::to_string(sequence_);
    return line;
}

std::string ViewerSession::errors_text() const {
    if (errors_ == 0) return "no errors";
    return std::to_string(errors_) + (errors_ == 1 ? " error" : " errors") + ", last: " + describe_error(last_error_);
}

std::string ViewerSession::status_line() const {
    std::string line = "Imvela viewer - " + mode_text() + " - " + rate_text() + " - " + errors_text();
    if (!readout_.empty()) line += " - " + readout_;
    if (!message_.empty()) line += " - " + message_;
    return line;
}

bool ViewerSession::apply_capture_window(const SensorWindow& window, const char* what) {
    if (recording_) {
        message_ = "the capture window stays while recording";
        return false;
    }
    const Mode mode = mode_ == Mode::kStopped ? Mode::kLive : mode_;
    const SensorWindow before = capture_window_;
    Imvela_StopPreview(handle_);
    mode_ = Mode::kStopped;
    bool ok = Imvela_SetCaptureWindowEx(handle_, window.total_width, window.h_start, window.width, window.total_height,
                                        window.v_start, window.height) == 1;
    if (!ok) {
        report_failure(what);
        Imvela_SetCaptureWindowEx(handle_, before.total_width, before.h_start, before.width, before.total_height,
                                  before.v_start, before.height);
    }
    read_capture_window();
    set_picture_area(area_width_, area_height_);
    probe_ = PictureProbe();
    histogram_ = Histogram();
    const std::string outcome = message_;
    restart(mode);
    if (ok) {
        char text[128];
        std::snprintf(text, sizeof text, "%s: %d x %d from (%d, %d)", what, capture_window_.width, capture_window_.height,
                      capture_window_.h_start, capture_window_.v_start);
        message_ = text;
    } else {
        message_ = outcome;
    }
    return ok;
}

void ViewerSession::take_picture() {
    if (frames_ == 0 && !recording_) return;
    if (probe_.take(handle_, width_, height_, bits_)) histogram_ = probe_.histogram();
    update_readout();
}

void ViewerSession::update_readout() {
    int32_t px = 0, py = 0;
    PixelReadout r;
    if (pointer_on_ && geometry_.to_picture(pointer_x_, pointer_y_, &px, &py) && probe_.read(px, py, &r))
        readout_ = readout_text(r);
    else
        readout_.clear();
}

void ViewerSession::pointer_moved(int32_t x, int32_t y) {
    if (dragging_ && drag_button_ == Button::kRight) {
        geometry_.pan(x - pointer_x_, y - pointer_y_);
        moved();
    }
    pointer_x_ = x;
    pointer_y_ = y;
    pointer_on_ = x >= 0 && y >= 0 && x < area_width_ && y < area_height_;
    update_readout();
}

void ViewerSession::pressed(int32_t x, int32_t y, Button button) {
    pointer_moved(x, y);
    dragging_ = true;
    drag_button_ = button;
    drag_x_ = x;
    drag_y_ = y;
}

bool ViewerSession::region_outline(ViewRect* outline) const {
    if (!dragging_ || drag_button_ != Button::kLeft) return false;
    *outline = {std::min(drag_x_, pointer_x_), std::min(drag_y_, pointer_y_), std::abs(pointer_x_ - drag_x_),
                std::abs(pointer_y_ - drag_y_)};
    return true;
}

void ViewerSession::released(int32_t x, int32_t y) {
    pointer_moved(x, y);
    if (!dragging_) return;
    dragging_ = false;
    if (drag_button_ != Button::kLeft) return;
    // A click is no region.
    if (std::abs(x - drag_x_) < 4 && std::abs(y - drag_y_) < 4) return;
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    const ViewRect picture = geometry_.picture();
    auto inside = [&](int32_t ax, int32_t ay, int32_t* px, int32_t* py) {
        // Corners off the picture go to its edge.
        ax = std::clamp(ax, std::max(picture.x, 0), std::min(picture.x + picture.width, area_width_) - 1);
        ay = std::clamp(ay, std::max(picture.y, 0), std::min(picture.y + picture.height, area_height_) - 1);
        return geometry_.to_picture(ax, ay, px, py);
    };
    if (!inside(std::min(drag_x_, x), std::min(drag_y_, y), &x0, &y0) ||
        !inside(std::max(drag_x_, x), std::max(drag_y_, y), &x1, &y1))
        return;
    SensorWindow region;
    if (region_window(capture_window_, x0, y0, x1 + 1, y1 + 1, &region)) apply_capture_window(region, "region");
}

void ViewerSession::wheel(int32_t x, int32_t y, bool away) {
    if (geometry_.zoom_at(x, y, away)) {
        moved();
        message_ = "zoom " + std::to_string(geometry_.zoom()) + "x";
    }
    update_readout();
}

std::vector<std::string> ViewerSession::help_lines(bool with_adjustments) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < std::size(kViewerKeys); ++i) {
        const ViewerKey& k = kViewerKeys[i];
        // Keys of one command share a line.
        if (i > 0 && kViewerKeys[i - 1].command == k.command) {
            lines.back().insert(1, std::string(" ") + k.key);
            continue;
        }
        lines.push_back(std::string(1, k.key) + "  " + k.what);
    }
    for (const ViewerSpecial& k : kViewerSpecialKeys)
        if (with_adjustments || !is_adjustment_command(k.command)) lines.push_back(std::string(k.name) + "  " + k.what);
    for (const char* m : kViewerMouseHelp) lines.push_back(m);
    return lines;
}
