// CIVMSdkLib: the open sequence and the sensor's hardware controls.
#include <algorithm>

#include "device/ivm_sdk_lib.h"
#include "device/sensor_init_table.h"
#include "driver/sensor_map.h"

namespace imvela {

namespace {
int32_t even(int32_t v) { return (v + 1) & ~1; }
}  // namespace

int32_t CIVMSdkLib::SetReadoutMode(int32_t mode) {
    readout_mode_ = mode;
    return 1;
}

int32_t CIVMSdkLib::SetSampleWidth(int32_t two_byte) {
    two_byte_ = two_byte ? 1 : 0;
    return send_command_record(driver::sample_width_command(two_byte_));
}

void CIVMSdkLib::reset_device_state() {
    // A running stream belongs to the device being left (how it ended no longer matters); the
    // ring it fills is rebuilt below.
    static_cast<void>(stop_streaming());
    close_held_handle();
    two_byte_ = 0;
    readout_mode_ = 0;
    sub_sampling_ = 0;
    trigger_ = 0;
    init_written_ = 0;
    large_ = 0;
    geometry_ = FrameGeometry{};
    driver_timeout_ = kDefaultDriverTimeoutMs;
}

int32_t CIVMSdkLib::write_init_table() {
    for (int32_t i = 0; i < sensor::kInitTableLength; ++i) {
        const sensor::RegisterPair pair = sensor::init_table_entry(i);
        if (!write_register(pair.address, pair.value)) return 0;
    }
    return 1;
}

int32_t CIVMSdkLib::open_device(int32_t number) {
    reset_device_state();
    if (select_device(number) != 0) return kDeviceRefused;
    // The device counts as opened once its number is taken: a device left alone takes no
    // programming, and one that refuses it fails (and reports) its next request, while every
    // capture preparation programs the sensor again.
    static_cast<void>(SetSampleWidth(0));
    init_written_ = 0;
    static_cast<void>(send_command_record(driver::command(driver::CMD_INITIALIZE)));
    if (!init_written_ && !leave_alone_) static_cast<void>(write_init_table());
    init_written_ = leave_alone_ ? 0 : 1;
    static_cast<void>(set_window(0, 0, sensor::kColumns, sensor::kRows, 0));
    static_cast<void>(set_mirror_v(0));
    static_cast<void>(set_trigger_mode(0));
    return 0;
}

bool CIVMSdkLib::accepts_window(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode) {
    const bool mode_ok = (mode >= 0 && mode <= 3) || mode == 17 || mode == 18;
    return x >= 0 && y >= 0 && width >= 4 && height >= 1 && x <= sensor::kColumns - width &&
           y <= sensor::kRows - height && mode_ok;
}

int32_t CIVMSdkLib::set_window(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode) {
    if (!accepts_window(x, y, width, height, mode)) return kWindowInvalid;
    window_width_ = width;
    sub_sampling_ = mode;
    window_x_ = x;
    window_y_ = y;
    window_height_ = height;
    geometry_result_ = rebuild_geometry(width, 0, width, height, 0, height, kRingCount);

    even_y_ = even(y);
    even_x_ = even(x);
    even_width_ = even(width);
    even_height_ = even(height);
    // A ring whose transfer size the device did not take is as good as a refused register.
    bool written = (geometry_result_ != 0 || transfer_size_taken_) &&
                   write_register(sensor::kRegFirstRow, even_y_ + sensor::kFirstRowBase) &&
                   write_register(sensor::kRegRowCount, even_height_) &&
                   write_register(sensor::kRegFirstColumn, even_x_ + sensor::kFirstColumnBase) &&
                   write_register(sensor::kRegColumnCount, even_width_);
    // Re-apply the exposure so that the vertical blanking follows the new height.
    written = written && reapply_exposure();
    for (int32_t i = 0; i < 4 && written; ++i)
        written = write_port(sensor::kPortTransferSize0 + i, (static_cast<uint32_t>(transfer_size_) >> (8 * i)) & 0xFF);
    if (!written) return kDeviceRefused;
    if (!leave_alone_) settle(100);
    programmed_transfer_ = transfer_size_;
    large_ = static_cast<int64_t>(frame_bytes()) >= driver::kLargeTransferBytes ? 1 : 0;
    return 0;
}

int32_t CIVMSdkLib::reapply_exposure() {
    int32_t lines = 0;
    // A register that cannot be read keeps its value rather than taking the shortest exposure.
    return read_register(sensor::kRegExposure, &lines) && set_exposure(lines) ? 1 : 0;
}

int32_t CIVMSdkLib::set_exposure(int32_t value) {
    int32_t lines = value & 0xFFFF;  // a 16-bit setting
    if (lines == 0) lines = sensor::kExposureMin;
    if (lines > sensor::kExposureMax) lines = sensor::kExposureMax;
    const int32_t minimum = trigger_ ? sensor::kBlankTrigger : two_byte_ ? sensor::kBlankTwoByte : sensor::kBlankOneByte;
    return write_register(sensor::kRegVerticalBlank, std::max(minimum, lines - even_height_ + 1)) &&
                   write_register(sensor::kRegExposure, lines)
               ? 1
               : 0;
}

int32_t CIVMSdkLib::set_gain(int32_t index) {
    const int32_t code = sensor::gain_code(index);
    return write_register(sensor::kRegGainA, code * 257) && write_register(sensor::kRegGainB, code * 257) ? 1 : 0;
}

int32_t CIVMSdkLib::set_mirror(int32_t bit, int32_t on, int32_t* flag) {
    *flag = on ? 1 : 0;
    // The other bits of the register stay: without its value nothing is written.
    int32_t mode = 0;
    if (!read_register(sensor::kRegReadMode, &mode)) return 0;
    mode = on ? (mode | bit) : (mode & ~bit);
    const bool held = write_register(sensor::kRegUpdateHold, 1) != 0;
    const bool written = held && write_register(sensor::kRegReadMode, mode);
    // The hold is released whatever the write did.
    const bool released = write_register(sensor::kRegUpdateHold, 0) != 0;
    return written && released ? 1 : 0;
}

int32_t CIVMSdkLib::set_mirror_h(int32_t on) { return set_mirror(sensor::kMirrorHorizontalBit, on, &mirror_h_); }

int32_t CIVMSdkLib::set_mirror_v(int32_t on) { return set_mirror(sensor::kMirrorVerticalBit, on, &mirror_v_); }

int32_t CIVMSdkLib::set_trigger_mode(int32_t on) {
    const int32_t flag = on ? 1 : 0;
    if (!write_register(sensor::kRegUpdateHold, flag)) return 0;
    if (flag) {
        if (!send_command_record(driver::command(driver::CMD_PREPARE))) return 0;
        // Let the frame in progress finish: one exposure plus a margin, at most a second (a
        // register that cannot be read counts as 0).
        int32_t line = 0, lines = 0;
        static_cast<void>(read_register(sensor::kRegLineLength, &line));
        static_cast<void>(read_register(sensor::kRegExposure, &lines));
        const double wait = static_cast<double>(lines) * (line + 6) / 80000.0 + 100.0;
        settle(static_cast<int32_t>(std::min(wait, 1000.0)));
    }
    if (!write_port(sensor::kPortTrigger, flag)) return 0;
    trigger_ = flag;
    return reapply_exposure();
}

int32_t CIVMSdkLib::read_gain_index() {
    int32_t index = 0;
    return read_gain_index(&index) ? index : 0;
}

int32_t CIVMSdkLib::read_gain_index(int32_t* index) {
    int32_t value = 0;
    if (!read_register(sensor::kRegGainA, &value)) return 0;
    if (index) *index = std::max(0, (value & 0x0F) - 2);
    return 1;
}

int32_t CIVMSdkLib::read_exposure(int32_t* lines) {
    int32_t value = 0;
    const int32_t read = read_register(sensor::kRegExposure, &value);
    if (lines) *lines = value;
    return read;
}

int32_t CIVMSdkLib::read_line_length() {
    int32_t value = 0;
    return read_register(sensor::kRegLineLength, &value) ? value + 6 : 0;
}

}  // namespace imvela
