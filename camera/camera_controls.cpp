// Camera object: filter values, mirrors, exposure in microseconds, registers, serial ROM,
// I/O port, preview placement and the capture window.
#include <cstdint>

#include "camera/filter_value_table.h"
#include "camera/imvela.h"
#include "driver/exposure_conversion.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "driver/sensor_map.h"

namespace imvela {

namespace {

constexpr int32_t kByteMask = 0xFF;
constexpr int32_t kAddressMask = 0xFFFF;  // sensor registers have 16-bit addresses

inline int32_t as_flag(int32_t value) { return value != 0 ? 1 : 0; }

}  // namespace

// ---- analog values --------------------------------------------------------------------------

int32_t CImvela::apply_analog_value(int position, int32_t value) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (position < 0 || position >= AnalogBlock::kCount) return (record_error(ERR_ARGUMENT), 0);
    store_relaxed(analog_[position], value);
    // Kept as set either way: the next capture preparation programs it again.
    int32_t written = 1;
    switch (position) {
        case AnalogBlock::kGlobalGain: written = device_->set_gain(value); break;
        case AnalogBlock::kExposure: written = device_->set_exposure(value); break;
        case AnalogBlock::kVerticalMirror: written = device_->set_mirror_v(value); break;
        case AnalogBlock::kHorizontalMirror: written = device_->set_mirror_h(value); break;
        default: break;
    }
    return written ? 1 : (record_error(ERR_DEVICE_IO), 0);
}

// ---- filter values ------------------------------------------------------------------------

int32_t CImvela::set_filter_value(int32_t identifier, int32_t value) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    const FilterValueRule* rule = filter_value_rule(identifier);
    if (!rule || !rule->accepts(value)) return (record_error(ERR_ARGUMENT), 0);

    switch (rule->kind) {
        case FilterValueKind::kImage:
            store_relaxed(filter_[rule->position], value);
            break;
        case FilterValueKind::kFlag:
            store_relaxed(filter_[rule->position], as_flag(value));
            break;
        case FilterValueKind::kPackedGains:
            store_relaxed(filter_[ImageProcessingBlock::kGainRed], value & kByteMask);
            store_relaxed(filter_[ImageProcessingBlock::kGainGreen], (value >> 8) & kByteMask);
            store_relaxed(filter_[ImageProcessingBlock::kGainBlue], (value >> 16) & kByteMask);
            break;
        case FilterValueKind::kGlobalGain:
            // One gain for the whole sensor: the colour gains follow the global one.
            for (int position : {AnalogBlock::kColorGainG1, AnalogBlock::kColorGainR, AnalogBlock::kColorGainB,
                                 AnalogBlock::kColorGainG2})
                store_relaxed(analog_[position], value);
            return apply_analog_value(AnalogBlock::kGlobalGain, value);
        case FilterValueKind::kExposure:
            return apply_analog_value(AnalogBlock::kExposure, value);
        case FilterValueKind::kZeroAnalog:
            store_relaxed(analog_[rule->position], 0);
            break;
    }
    return 1;
}

int32_t CImvela::get_filter_value(int32_t identifier, int32_t* ok) {
    if (ok) *ok = 0;
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    const FilterValueRule* rule = filter_value_rule(identifier);
    if (!rule) return (record_error(ERR_ARGUMENT), 0);

    int32_t value = 0;
    switch (rule->kind) {
        case FilterValueKind::kImage:
        case FilterValueKind::kFlag:
            value = load_relaxed(filter_[rule->position]);
            break;
        case FilterValueKind::kPackedGains:
            value = (load_relaxed(filter_[ImageProcessingBlock::kGainBlue]) & kByteMask) << 16 |
                    (load_relaxed(filter_[ImageProcessingBlock::kGainGreen]) & kByteMask) << 8 |
                    (load_relaxed(filter_[ImageProcessingBlock::kGainRed]) & kByteMask);
            break;
        case FilterValueKind::kGlobalGain:
            // Read back from the sensor; a read that fails is a failure, not a gain of 0.
            if (!device_->read_gain_index(&value)) return (record_error(ERR_DEVICE_IO), 0);
            break;
        case FilterValueKind::kExposure:
            if (!device_->read_register(sensor::kRegExposure, &value)) return (record_error(ERR_DEVICE_IO), 0);
            break;
        case FilterValueKind::kZeroAnalog:
            value = 0;
            break;
    }
    if (ok) *ok = 1;
    return value;
}

// ---- mirrors and exposure -------------------------------------------------------------------

int32_t CImvela::set_mirror_h(int32_t on) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    return apply_analog_value(AnalogBlock::kHorizontalMirror, as_flag(on));
}

int32_t CImvela::get_mirror_h() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    return load_relaxed(analog_[AnalogBlock::kHorizontalMirror]);
}

int32_t CImvela::set_mirror_v(int32_t on) {
    if (!device_) return (post_error(ERR_NOT_READY), 0);
    return apply_analog_value(AnalogBlock::kVerticalMirror, as_flag(on));
}

int32_t CImvela::get_mirror_v() {
    if (!device_) return (post_error(ERR_NOT_READY), 0);
    return load_relaxed(analog_[AnalogBlock::kVerticalMirror]);
}

int32_t CImvela::set_real_exposure_time(int32_t microseconds) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    int32_t lines = 0;
    if (!sensor::lines_from_microseconds(microseconds, device_->read_line_length(), &lines))
        return (record_error(ERR_ARGUMENT), 0);
    return apply_analog_value(AnalogBlock::kExposure, lines);
}

// ---- registers, serial ROM and I/O port -------------------------------------------------------

int32_t CImvela::read_register(int32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    int32_t value = 0;
    if (!device_->read_register(address & kAddressMask, &value)) return (record_error(ERR_DEVICE_IO), 0);
    if (ok) *ok = 1;
    return value;
}

int32_t CImvela::write_register(int32_t address, int32_t value) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    if (!device_->write_register(address & kAddressMask, value)) return (record_error(ERR_DEVICE_IO), 0);
    return 1;
}

int32_t CImvela::read_srom_id(int32_t address, int32_t* ok) {
    if (ok) *ok = 0;
    uint8_t value = 0;
    if (!device_ || !device_->read_srom_id(address, &value)) return (post_error(ERR_NOT_READY), 0);
    if (ok) *ok = 1;
    return value;
}

int32_t CImvela::write_srom_id(int32_t address, int32_t value) {
    // The ROM keeps bytes: a wider value would be stored cut, so it is refused.
    if (!device_ || value < 0 || value > kByteMask || !device_->write_srom_id(address, value))
        return (post_error(ERR_NOT_READY), 0);
    return 1;
}

int32_t CImvela::get_io_port(uint8_t* value) {
    if (!device_) return (post_error(ERR_NOT_READY), 0);
    if (!value) return (post_error(ERR_ARGUMENT), 0);
    uint8_t port = 0;
    if (!device_->read_io_port(&port)) return (post_error(ERR_NOT_READY), 0);
    *value = port;
    return 1;
}

int32_t CImvela::set_io_port(int32_t value) {
    if (!device_) return (post_error(ERR_NOT_READY), 0);
    const int32_t written = device_->write_io_port(value);
    if (!written) post_error(ERR_NOT_READY);
    return written;
}

// ---- preview placement and capture window -------------------------------------------------------

int32_t CImvela::set_preview_window(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    // Used at the next window creation.
    preview_window_.place(parent, x, y, width, height);
    return 1;
}

bool CImvela::window_is_programmable(const CaptureWindow& window) const {
    // Inside the sensor by the capture-window rule, and a window the sensor can read out
    // (a window of fewer than 4 columns or of no row would be refused by the device).
    return is_valid_capture_window(window, sub_sample()) &&
           CIVMSdkLib::accepts_window(window.h_start, window.v_start, window.width, window.height, sub_sample());
}

int32_t CImvela::program_capture_window(const CaptureWindow& window) {
    // A running capture keeps the window it was prepared with; the next capture
    // preparation programs the new one.
    if (capture_mode() != kIdle) return 1;
    const int32_t programmed =
        device_->set_window(window.h_start, window.v_start, window.width, window.height, sub_sample());
    if (programmed == kWindowInvalid) return (record_error(ERR_CAPTURE_WINDOW), 0);
    if (programmed != 0) return (record_error(ERR_DEVICE_IO), 0);
    if (device_->geometry_result() != 0) return (record_error(ERR_BUFFER), 0);
    return 1;
}

int32_t CImvela::set_capture_window(int32_t width, int32_t height) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    // The mode is judged and the window programmed without a capture starting in between.
    std::unique_lock<std::mutex> control = engine_.lock_control();
    CaptureWindow window;
    if (!settings_.find_capture_window(device_number(), width, height, &window))
        return (record_error(ERR_WINDOW), 0);
    if (!window_is_programmable(window)) {
        record_error(ERR_CAPTURE_WINDOW);
        window.total_width = window.width = kSensorWidth;
        window.total_height = window.height = kSensorHeight;
        window.h_start = window.v_start = 0;
    }
    set_capture_window_fields(window);
    return program_capture_window(window);
}

int32_t CImvela::set_capture_window_ex(int32_t total_width, int32_t h_start, int32_t effective_width,
                                       int32_t total_height, int32_t v_start, int32_t effective_height) {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    CaptureWindow window = capture_window();
    window.total_width = total_width;
    window.h_start = h_start;
    window.width = effective_width;
    window.total_height = total_height;
    window.v_start = v_start;
    window.height = effective_height;
    // Stored even when refused: the next capture preparation then fails until a valid
    // window is set.
    set_capture_window_fields(window);
    if (!window_is_programmable(window)) return (record_error(ERR_CAPTURE_WINDOW), 0);
    return program_capture_window(window);
}

int32_t CImvela::get_capture_window_ex(int32_t* total_width, int32_t* h_start, int32_t* effective_width,
                                       int32_t* total_height, int32_t* v_start, int32_t* effective_height) {
    const CaptureWindow window = capture_window();
    if (total_width) *total_width = window.total_width;
    if (h_start) *h_start = window.h_start;
    if (effective_width) *effective_width = window.width;
    if (total_height) *total_height = window.total_height;
    if (v_start) *v_start = window.v_start;
    if (effective_height) *effective_height = window.height;
    return 1;
}

}  // namespace imvela
