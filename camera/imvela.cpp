// Camera object: construction, initialisation, device choice, enumeration, names, camera
// information, close and destruction.
#include "camera/imvela.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "camera/driver_choice.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "imaging/color_mode.h"
#include "imaging/image_buffer.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/text_conversion.h"
#include "platform/debug_log.h"

namespace imvela {

namespace {

constexpr int32_t kNameEntry = 256;
constexpr int32_t kMinimumNameEntries = 10;
constexpr int32_t kReadoutModeByte = 0x1EB0;

// "ImvelaM52-ZKR_NN"; the ordinal is wide enough for any device number plus one.
int format_device_name(char* out, size_t capacity, int64_t ordinal) {
    return std::snprintf(out, capacity, "%s_%02lld", CImvela::kDeviceName, static_cast<long long>(ordinal));
}

}  // namespace

CImvela::CImvela() = default;

CImvela::~CImvela() {
    // Settings go back to the store only when they were loaded from it: a camera whose
    // initialisation failed holds nothing but zeros and must not overwrite the user's settings.
    if (device_) save_groups();
    close();
    release_device(device_number());
    device_.reset();
}

int32_t CImvela::initialize(HWND notify_window) {
    // Stored first so that a failure below still reaches the application's window.
    notify_window_ = notify_window;
    if (!use_table_.map()) return (record_error(ERR_BUFFER), 0);

    // Device 0 streaming for another camera object (of this process or another) is not
    // reprogrammed under its stream: its sample width and transfer size would change.
    device_.reset(new (std::nothrow) CImvelaM61XZKRSdk(choose_driver_transport(), use_table_.is_in_use(0)));
    if (!device_) return (record_error(ERR_BUFFER), 0);
    engine_.attach(device_.get());

    reload_video_format();
    device_->leave_device_alone(false);
    preview_window_.place(nullptr, 0, 0, width(), height());
    load_groups();
    return 1;
}

void CImvela::reload_video_format() {
    CaptureWindow window = capture_window();
    settings_.load_size_entry(device_number(), &window);
    if (!is_valid_capture_window(window, sub_sample())) {
        record_error(ERR_CAPTURE_WINDOW);
        window.total_width = window.width = kSensorWidth;
        window.total_height = window.height = kSensorHeight;
        window.h_start = window.v_start = 0;
    }
    set_capture_window_fields(window);
    // Programmed again by every capture preparation; a camera that is not there (yet) takes
    // nothing now.
    static_cast<void>(
        device_->set_window(window.h_start, window.v_start, window.width, window.height, sub_sample()));

    VideoFormat format;
    format.color = color_mode();
    format.sub_sample = sub_sample();
    format.wait_time = wait_time();
    format.clock = load_relaxed(clock_);
    settings_.load_video_format(device_number(), &format);
    store_relaxed(color_mode_, format.color);
    store_relaxed(sub_sample_, format.sub_sample);
    engine_.set_wait_time(format.wait_time);
    store_relaxed(clock_, format.clock);
}

void CImvela::load_groups() {
    const int32_t number = device_number();
    ImageProcessingBlock filter = filter_;
    settings_.load_filter(number, &filter);
    settings_.load_gray(number, &filter);
    copy_relaxed(filter_, filter);

    AnalogBlock analog = analog_;
    settings_.load_analog(number, &analog, device_->mirror_v(), device_->mirror_h());
    copy_relaxed(analog_, analog);
    // Programmed again by every capture preparation; a camera that is not there (yet) takes
    // nothing now.
    static_cast<void>(apply_analog_to_device());
}

void CImvela::save_groups() {
    const int32_t number = device_number();
    AnalogBlock analog;
    ImageProcessingBlock filter;
    copy_relaxed(analog, analog_);
    copy_relaxed(filter, filter_);
    // A group that cannot be written (a store another process keeps locked, a folder that
    // cannot be made) stays as it was; the application is told, the call goes on.
    const bool saved = settings_.save_analog(number, analog) & settings_.save_filter(number, filter) &
                       settings_.save_gray(number, filter);
    if (!saved) record_error(ERR_FILE);
}

bool CImvela::apply_analog_to_device() {
    // Every value is sent, whatever the one before did.
    bool applied = device_->set_gain(load_relaxed(analog_[AnalogBlock::kGlobalGain]) & 0xFF) != 0;
    applied = device_->set_exposure(load_relaxed(analog_[AnalogBlock::kExposure]) & 0xFFFF) && applied;
    applied = device_->set_mirror_v(load_relaxed(analog_[AnalogBlock::kVerticalMirror])) && applied;
    applied = device_->set_mirror_h(load_relaxed(analog_[AnalogBlock::kHorizontalMirror])) && applied;
    return applied;
}

CaptureWindow CImvela::capture_window() const {
    CaptureWindow w;
    w.total_width = load_relaxed(window_.total_width);
    w.total_height = load_relaxed(window_.total_height);
    w.width = load_relaxed(window_.width);
    w.height = load_relaxed(window_.height);
    w.h_start = load_relaxed(window_.h_start);
    w.v_start = load_relaxed(window_.v_start);
    w.buffer_count = load_relaxed(window_.buffer_count);
    return w;
}

void CImvela::set_capture_window_fields(const CaptureWindow& w) {
    store_relaxed(window_.total_width, w.total_width);
    store_relaxed(window_.total_height, w.total_height);
    store_relaxed(window_.width, w.width);
    store_relaxed(window_.height, w.height);
    store_relaxed(window_.h_start, w.h_start);
    store_relaxed(window_.v_start, w.v_start);
    store_relaxed(window_.buffer_count, w.buffer_count);
}

int32_t CImvela::set_device_number(int32_t number) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    // Reopening frees the transfer ring and the held file a running worker reads.
    std::unique_lock<std::mutex> control = engine_.lock_control();
    if (capture_mode() != kIdle) return (record_error(ERR_NOT_READY), 0);
    save_groups();
    device_->use_transport(choose_driver_transport());
    if (!device_->is_device_present(number) || device_->open_device(number) != 0)
        return (record_error(ERR_DEVICE_UNAVAILABLE), 0);
    store_relaxed(device_number_, number);
    load_groups();

    uint8_t mode = 0;
    if (device_->read_srom_byte(kReadoutModeByte, &mode) && (mode == 1 || mode == 2) &&
        !device_->set_readout_mode(mode == 2 ? 1 : 0))
        return (record_error(ERR_DEVICE_IO), 0);
    return 1;
}

int32_t CImvela::enum_device(char names[][256]) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (!names) return (record_error(ERR_ARGUMENT), 0);
    device_->use_transport(choose_driver_transport());
    device_->enumerate_devices();
    int32_t found = 0;
    for (int32_t n = 0; n < CImvelaM61XZKRSdk::max_device_count(); ++n)
        if (device_->is_device_present(n)) {
            ++found;
            format_device_name(names[found - 1], kNameEntry, found);
        }
    for (int32_t i = found; i < kMinimumNameEntries; ++i) names[i][0] = '\0';
    return found;
}

int32_t CImvela::enum_device_w(IMVELA_WCHAR names[][256]) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (!names) return (record_error(ERR_ARGUMENT), 0);
    int32_t found = 0;
    for (int32_t n = 0; n < CImvelaM61XZKRSdk::max_device_count(); ++n)
        if (device_->is_device_present(n)) {
            ++found;
            char narrow[kNameEntry];
            format_device_name(narrow, sizeof narrow, found);
            if (!platform::narrow_to_wide(narrow, names[found - 1], kNameEntry)) names[found - 1][0] = 0;
        }
    for (int32_t i = found; i < kMinimumNameEntries; ++i) names[i][0] = 0;
    return found;
}

bool CImvela::device_name_for(int32_t number, bool has_buffer, int32_t length, char (&name)[256]) {
    if (!device_) return (record_error(ERR_NOT_READY), false);
    const int needed = format_device_name(name, sizeof name, static_cast<int64_t>(number) + 1) + 1;
    if (!has_buffer || length <= 14 || length < needed) return (record_error(ERR_ARGUMENT), false);
    if (number < 0 || number >= CImvelaM61XZKRSdk::max_device_count()) return (record_error(ERR_ARGUMENT), false);
    if (!device_->is_device_present(number)) return (record_error(ERR_DEVICE_UNAVAILABLE), false);
    return true;
}

int32_t CImvela::get_device_name(int32_t number, char* buffer, int32_t length) {
    char name[kNameEntry];
    if (!device_name_for(number, buffer != nullptr, length, name)) return 0;
    std::memcpy(buffer, name, std::strlen(name) + 1);
    return 1;
}

int32_t CImvela::get_device_name_w(int32_t number, IMVELA_WCHAR* buffer, int32_t length) {
    char name[kNameEntry];
    if (!device_name_for(number, buffer != nullptr, length, name)) return 0;
    if (!platform::narrow_to_wide(name, buffer, static_cast<size_t>(length))) {
        buffer[0] = 0;
        return (record_error(ERR_DEVICE_UNAVAILABLE), 0);
    }
    return 1;
}

int32_t CImvela::get_camera_info(ImvelaCameraInfo* info) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (!info) return (record_error(ERR_ARGUMENT), 0);
    if (info->size < 36) return (record_error(ERR_BUFFER), 0);
    info->total_width = kSensorWidth;
    info->total_height = kSensorHeight;
    info->gain_min = CImvelaM61XZKRSdk::gain_min();
    info->gain_max = CImvelaM61XZKRSdk::gain_max();
    info->reserved1 = 0;
    info->reserved2 = 0;
    info->exposure_min = CImvelaM61XZKRSdk::exposure_min() & 0xFFFF;
    info->exposure_max = CImvelaM61XZKRSdk::exposure_max() & 0xFFFF;
    return 1;
}

int32_t CImvela::close() {
    // The worker cannot close its own camera: it would have to wait for itself.
    if (on_worker_thread()) return (record_error(ERR_NOT_READY), 0);
    {
        // A snapshot holding the lock across a driver read has that read cancelled.
        std::unique_lock<std::mutex> control = engine_.lock_control_cancelling();
        stop_and_forget_locked();
    }
    // The window goes after the lock is released: destroying a child of another thread's
    // window makes that thread handle messages, and it may be waiting for the lock
    // (docs/locks.md). No worker paints it any more.
    preview_window_.close();
    return 1;
}

void CImvela::stop_and_forget_locked() {
    // The worker paints into the preview window: stop it before the window goes away.
    // Nothing runs without a device.
    if (device_) stop_locked();
    engine_.forget_image();
    if (device_) device_->close_held_handle();
}

int32_t CImvela::close_locked() {
    stop_and_forget_locked();
    preview_window_.close();
    return 1;
}

void CImvela::claim_device(int32_t number) { use_table_.claim_device(number, notify_window_); }

void CImvela::release_device(int32_t number) { use_table_.release_device(number, notify_window_); }

namespace {

// The name of a code and the part of the library its failures are logged under.
const char* error_name(int32_t code) {
    static constexpr const char* kNames[] = {"",
                                             "ERR_NOT_READY",
                                             "ERR_DEVICE_UNAVAILABLE",
                                             "ERR_THREAD",
                                             "ERR_WINDOW",
                                             "ERR_BUFFER",
                                             "ERR_DEVICE_IO",
                                             "ERR_CAPTURE_WINDOW",
                                             "ERR_TRANSFER",
                                             "ERR_ARGUMENT",
                                             "",
                                             "ERR_NOT_SUPPORTED",
                                             "ERR_FILE",
                                             "ERR_TIMEOUT"};
    return code > 0 && code < static_cast<int32_t>(sizeof kNames / sizeof kNames[0]) ? kNames[code] : "unknown";
}

void log_code(const char* how, int32_t code, int32_t device_number) {
    using debug_log::Category;
    const Category category = code == ERR_DEVICE_UNAVAILABLE || code == ERR_DEVICE_IO || code == ERR_NOT_SUPPORTED
                                  ? Category::device
                              : code == ERR_WINDOW ? Category::preview
                              : code == ERR_FILE   ? Category::files
                              : code == ERR_ARGUMENT ? Category::settings
                                                     : Category::capture;
    if (debug_log::enabled(category, debug_log::Level::error))
        debug_log::write(category, debug_log::Level::error, "camera %d: error %d %s %s", device_number, code,
                         error_name(code), how);
}

}  // namespace

int32_t CImvela::record_error(int32_t code) {
    log_code("recorded", code, device_number());
    history_.push(code);
    if (notify_window_) platform::post_message(notify_window_, WM_CAMERA_ERROR, 0, code);
    return 1;
}

void CImvela::post_error(int32_t code) {
    log_code("posted", code, device_number());
    // Deliberately untested for null: on Windows a null window sends it to the calling
    // thread's own queue.
    platform::post_message(notify_window_, WM_CAMERA_ERROR, 0, code);
}

int32_t CImvela::set_color_mode(int32_t bits) {
    const int32_t index = color_mode_from_bits(bits);
    if (index < 0) return (record_error(ERR_ARGUMENT), 0);
    store_relaxed(color_mode_, index);
    return 1;
}

int32_t CImvela::set_sub_sample(int32_t mode) {
    // Only full resolution is supported; other modes are refused without an error.
    if (mode != 0) return 0;
    store_relaxed(sub_sample_, mode);
    return 1;
}

int32_t CImvela::set_wait_time(int32_t milliseconds) {
    if (milliseconds < 0) return 0;
    engine_.set_wait_time(milliseconds);
    return 1;
}

}  // namespace imvela
