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
    send_command_record(driver::sample_width_command(two_byte_));
    return 1;
}

void CIVMSdkLib::reset_device_state() {
    // A running stream belongs to the device being left; the ring it fills is rebuilt below.
    stop_streaming();
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

void CIVMSdkLib::write_init_table() {
    for (int32_t i = 0; i < sensor::kInitTableLength; ++i) {
        const sensor::RegisterPair pair = sensor::init_table_entry(i);
        write_register(pair.address, pair.value);
    }
}

int32_t CIVMSdkLib::open_device(int32_t number) {
    reset_device_state();
    if (select_device(number) != 0) return kDeviceRefused;
    SetSampleWidth(0);
    init_written_ = 0;
    send_command_record(driver::command(driver::CMD_INITIALIZE));
    if (!init_written_ && !leave_alone_) write_init_table();
    init_written_ = leave_alone_ ? 0 : 1;
    set_window(0, 0, sensor::kColumns, sensor::kRows, 0);
    set_mirror_v(0);
    set_trigger_mode(0);
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
    write_register(sensor::kRegFirstRow, even_y_ + sensor::kFirstRowBase);
    write_register(sensor::kRegRowCount, even_height_);
    write_register(sensor::kRegFirstColumn, even_x_ + sensor::kFirstColumnBase);
    write_register(sensor::kRegColumnCount, even_width_);

    // Re-apply the exposure so that the vertical blanking follows the new height.
    int32_t lines = 0;
    read_register(sensor::kRegExposure, &lines);
    set_exposure(lines);

    for (int32_t i = 0; i < 4; ++i)
        write_port(sensor::kPortTransferSize0 + i, (static_cast<uint32_t>(transfer_size_) >> (8 * i)) & 0xFF);
    if (!leave_alone_) settle(100);
    programmed_transfer_ = transfer_size_;
    large_ = static_cast<int64_t>(frame_bytes()) >= driver::kLargeTransferBytes ? 1 : 0;
    return 0;
}

int32_t CIVMSdkLib::set_exposure(int32_t value) {
    int32_t lines = value & 0xFFFF;  // a 16-bit setting
    if (lines == 0) lines = sensor::kExposureMin;
    if (lines > sensor::kExposureMax) lines = sensor::kExposureMax;
    const int32_t minimum = trigger_ ? sensor::kBlankTrigger : two_byte_ ? sensor::kBlankTwoByte : sensor::kBlankOneByte;
    write_register(sensor::kRegVerticalBlank, std::max(minimum, lines - even_height_ + 1));
    write_register(sensor::kRegExposure, lines);
    return 1;
}

int32_t CIVMSdkLib::set_gain(int32_t index) {
    const int32_t code = sensor::gain_code(index);
    write_register(sensor::kRegGainA, code * 257);
    write_register(sensor::kRegGainB, code * 257);
    return 1;
}

void CIVMSdkLib::set_mirror(int32_t bit, int32_t on, int32_t* flag) {
    int32_t mode = 0;
    read_register(sensor::kRegReadMode, &mode);
    mode = on ? (mode | bit) : (mode & ~bit);
    write_register(sensor::kRegUpdateHold, 1);
    write_register(sensor::kRegReadMode, mode);
    write_register(sensor::kRegUpdateHold, 0);
    *flag = on ? 1 : 0;
}

int32_t CIVMSdkLib::set_mirror_h(int32_t on) {
    set_mirror(sensor::kMirrorHorizontalBit, on, &mirror_h_);
    return 0;
}

int32_t CIVMSdkLib::set_mirror_v(int32_t on) {
    set_mirror(sensor::kMirrorVerticalBit, on, &mirror_v_);
    return 0;
}

int32_t CIVMSdkLib::set_trigger_mode(int32_t on) {
    const int32_t flag = on ? 1 : 0;
    if (!write_register(sensor::kRegUpdateHold, flag)) return 0;
    if (flag) {
        send_command_record(driver::command(driver::CMD_PREPARE));
        // Let the frame in progress finish: one exposure plus a margin, at most a second.
        int32_t line = 0, lines = 0;
        read_register(sensor::kRegLineLength, &line);
        read_register(sensor::kRegExposure, &lines);
        const double wait = static_cast<double>(lines) * (line + 6) / 80000.0 + 100.0;
        settle(static_cast<int32_t>(std::min(wait, 1000.0)));
    }
    if (!write_port(sensor::kPortTrigger, flag)) return 0;
    trigger_ = flag;
    int32_t lines = 0;
    read_register(sensor::kRegExposure, &lines);
    set_exposure(lines);
    return 1;
}

int32_t CIVMSdkLib::read_gain_index() {
    int32_t index = 0;
    read_gain_index(&index);
    return index;
}

int32_t CIVMSdkLib::read_gain_index(int32_t* index) {
    int32_t value = 0;
    if (!read_register(sensor::kRegGainA, &value)) return 0;
    if (index) *index = std::max(0, (value & 0x0F) - 2);
    return 1;
}

int32_t CIVMSdkLib::read_exposure(int32_t* lines) {
    int32_t value = 0;
    read_register(sensor::kRegExposure, &value);
    if (lines) *lines = value;
    return 1;
}

int32_t CIVMSdkLib::read_line_length() {
    int32_t value = 0;
    return read_register(sensor::kRegLineLength, &value) ? value + 6 : 0;
}

}  // namespace imvela
