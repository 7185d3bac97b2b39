#pragma once
// CIVMSdkLib: the device base class. It names and finds the device files, runs the register,
// port and serial-ROM transactions (each opens, uses and closes its own device file),
// programs the sensor, owns the frame geometry, the transfer ring and the streaming loop,
// and extracts the window out of raw frames.
//
// Results: a request to the device (a transaction, a programming step) gives 1 when every
// record it sent was accepted and 0 when one was not; the frame and geometry operations give
// 0 or the code of what failed. Every result is [[nodiscard]]: a caller handles it or says
// why it need not.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/driver_channel.h"
#include "device/frame_stream.h"
#include "driver/sensor_map.h"

namespace imvela {

// The sensor window and frame geometry results.
constexpr int32_t kWindowInvalid = 1;
constexpr int32_t kDeviceRefused = 22;
constexpr int32_t kExtractNoBuffer = 14;
constexpr int32_t kGeometryRingCount = 1;
constexpr int32_t kGeometryHorizontal = 3;
constexpr int32_t kGeometryVertical = 4;
constexpr int32_t kGeometryNoMemory = 7;

constexpr int32_t kDefaultDriverTimeoutMs = driver::kDefaultTimeoutMs;
constexpr int32_t kRingCount = 4;

struct FrameGeometry {
    int32_t row_pitch = 1339;     // samples per raw row
    int32_t x_offset = 50;        // first window column inside a row
    int32_t active_width = 1280;  // window columns copied out
    int32_t total_rows = sensor::kRows;  // rows per raw frame
    int32_t y_offset = 10;        // first window row
    int32_t active_rows = 1028;   // window rows copied out
};

// Samples per frame request for a geometry: row pitch x (active rows + y offset), rounded
// up to a multiple of 1024.
int64_t transfer_samples(int32_t row_pitch, int32_t active_rows, int32_t y_offset);

class CIVMSdkLib {
public:
    // transport: the driver every device file is opened on until use_transport() changes it.
    explicit CIVMSdkLib(DriverTransport& transport);
    virtual ~CIVMSdkLib();
    CIVMSdkLib(const CIVMSdkLib&) = delete;
    CIVMSdkLib& operator=(const CIVMSdkLib&) = delete;

    // ---- Window extraction and data-mode hooks ------------------------------------------
    // Copies the window (active rows x active width samples, top row first) out of a raw
    // frame; destination rows are stride bytes apart (0: packed). 0, or 14 for a null pointer.
    [[nodiscard]] virtual int32_t CopyWindow(void* destination, int32_t stride, const void* frame);
    // Readout mode 0..2: the base class only stores it. 1 on success.
    [[nodiscard]] virtual int32_t SetReadoutMode(int32_t mode);
    // Sample width: the base class sends the flag itself to the controller. 1 when sent.
    [[nodiscard]] virtual int32_t SetSampleWidth(int32_t two_byte);

    // ---- Devices ---------------------------------------------------------------------
    // The driver later device files are opened on; files already open stay on theirs.
    void use_transport(DriverTransport& transport) { transport_.store(&transport); }
    // Waits as long as the camera needs to settle after a change (the driver decides).
    void settle(int32_t milliseconds) { transport().settle(milliseconds); }
    static constexpr int32_t max_device_count() { return driver::kMaxDeviceCount; }
    // Probes numbers 0..31; the selected device stays selected.
    void enumerate_devices();
    // Stores the number and its path; 22 for a number above 32 (nothing changes), else 0.
    [[nodiscard]] int32_t select_device(int32_t number);
    int32_t is_device_present(int32_t number) const;
    int32_t current_device_number() const { return device_number_; }
    const char* device_path() const { return path_; }
    const char* driver_prefix() const { return prefix_; }

    // Sends the driver's transfer timeout; kept for the single reads either way.
    [[nodiscard]] int32_t set_driver_timeout(int32_t milliseconds);
    int32_t driver_timeout() const { return driver_timeout_; }

    // ---- Transactions: 1 on success, 0 on failure -------------------------------------
    [[nodiscard]] int32_t write_register(int32_t address, int32_t value);
    [[nodiscard]] int32_t read_register(int32_t address, int32_t* value);
    [[nodiscard]] int32_t write_port(int32_t port, int32_t value);
    [[nodiscard]] int32_t read_port(int32_t port, uint8_t* value);
    [[nodiscard]] int32_t read_srom_id(int32_t index, uint8_t* value);      // ROM 0x1800 + index
    [[nodiscard]] int32_t read_srom_byte(int32_t address, uint8_t* value);  // addresses below 0x1800 refused
    [[nodiscard]] int32_t write_srom_id(int32_t index, int32_t value);
    // Sends one command record on its own device file: 1 when it was accepted; 0, nothing
    // sent, while the device is left alone.
    int32_t send_command_record(const driver::Record& record);
    // While on, nothing is sent to the device (every write fails unsent, settling is
    // skipped); reads still run. For a device another camera object streams from: opening
    // it must not rewrite its sensor, sample width or transfer size under that stream.
    void leave_device_alone(bool on) { leave_alone_ = on; }
    bool leaving_device_alone() const { return leave_alone_; }

    // ---- Sensor programming ------------------------------------------------------------
    // Resets the device state, selects the number, initialises the sensor and programs the
    // full window, vertical mirror off and trigger off. 22 when the number is refused or the
    // device does not take its programming, else 0.
    [[nodiscard]] int32_t open_device(int32_t number);
    // A window the sensor can read out: inside the sensor, at least 4 columns and 1 row,
    // sub-sampling mode 0 to 3, 17 or 18.
    static bool accepts_window(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);
    // 1 for invalid arguments, 22 when the device does not take the window, else 0 (a ring
    // that could not be built: geometry_result()).
    [[nodiscard]] int32_t set_window(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);
    [[nodiscard]] int32_t set_exposure(int32_t lines);
    [[nodiscard]] int32_t set_gain(int32_t index);
    // The flag is kept either way: the next capture preparation programs it again.
    [[nodiscard]] int32_t set_mirror_h(int32_t on);
    [[nodiscard]] int32_t set_mirror_v(int32_t on);
    int32_t mirror_h() const { return mirror_h_; }
    int32_t mirror_v() const { return mirror_v_; }
    [[nodiscard]] int32_t set_readout_mode(int32_t mode) { return SetReadoutMode(mode); }
    int32_t readout_mode() const { return readout_mode_; }
    [[nodiscard]] int32_t set_sample_width(int32_t two_byte) { return SetSampleWidth(two_byte); }
    int32_t two_byte_samples() const { return two_byte_; }
    [[nodiscard]] int32_t set_trigger_mode(int32_t on);
    int32_t trigger_mode() const { return trigger_; }
    [[nodiscard]] int32_t write_clock(int32_t value) { return write_port(15, value); }
    [[nodiscard]] int32_t read_clock(uint8_t* value) { return read_port(15, value); }
    [[nodiscard]] int32_t write_io_port(int32_t value) { return write_port(7, value); }
    [[nodiscard]] int32_t read_io_port(uint8_t* value) { return read_port(7, value); }
    // (register 0x23 & 0x0F) - 2, at least 0; 0 when the read fails.
    int32_t read_gain_index();
    // The same index into *index; 1, or 0 (index untouched) when the register cannot be read.
    [[nodiscard]] int32_t read_gain_index(int32_t* index);
    // Register 0x0F into *lines (0 when the read fails).
    [[nodiscard]] int32_t read_exposure(int32_t* lines);
    // Register 0x2E + 6, or 0 when it cannot be read: the line length of the exposure
    // conversions.
    int32_t read_line_length();

    static constexpr int32_t gain_min() { return sensor::kGainMin; }
    static constexpr int32_t gain_max() { return sensor::kGainMax; }
    static constexpr int32_t exposure_min() { return sensor::kExposureMin; }
    static constexpr int32_t exposure_max() { return sensor::kExposureMax; }
    static constexpr int32_t exposure_default() { return sensor::kExposureDefault; }

    // Window state as programmed.
    int32_t window_x() const { return window_x_; }
    int32_t window_y() const { return window_y_; }
    int32_t window_width() const { return window_width_; }
    int32_t window_height() const { return window_height_; }
    int32_t sub_sampling() const { return sub_sampling_; }
    int32_t init_table_written() const { return init_written_; }
    int32_t uses_large_transfer() const { return large_; }
    int32_t programmed_transfer_size() const { return programmed_transfer_; }

    // ---- Frames ------------------------------------------------------------------------
    // 0, or 3/4 for an inconsistent geometry, 1 for fewer than 2 buffers, 7 when memory runs
    // out, 21 while streaming. The transfer size is sent to the device once the ring is built
    // (set_window fails when it was not taken).
    [[nodiscard]] int32_t rebuild_geometry(int32_t row_pitch, int32_t x_offset, int32_t active_width, int32_t total_rows,
                             int32_t y_offset, int32_t active_rows, int32_t ring_count);
    const FrameGeometry& geometry() const { return geometry_; }
    int32_t transfer_size() const { return transfer_size_; }
    // Bytes per frame request: the transfer size, doubled for two-byte samples.
    int32_t frame_bytes() const { return transfer_size_ * (two_byte_ ? 2 : 1); }
    int32_t geometry_result() const { return geometry_result_; }
    int32_t ring_count() const { return stream_.ring_count(); }

    [[nodiscard]] int32_t start_streaming();  // 0, or 21 while a loop runs (7 without a ring)
    int32_t stop_streaming();   // the loop's result
    int32_t take_newest_frame() { return stream_.take_newest(); }
    [[nodiscard]] int32_t extract_taken_frame(void* destination, int32_t stride = 0);
    // The window of the taken frame where it lies in the ring: its first sample, and in
    // *stride the bytes from one window row to the next; null when no frame is taken. Valid
    // until release_taken_frame(); nothing copies it.
    uint8_t* taken_window(int32_t* stride);
    void release_taken_frame() { stream_.release_taken(); }
    // The taken frame given back but kept unwritten (FrameStream::hold_taken): what
    // taken_window showed stays valid until release_held_frame.
    bool hold_taken_frame() { return stream_.hold_taken(); }
    void release_held_frame() { stream_.release_held(); }
    FrameStream& stream() { return stream_; }
    int32_t last_stream_elapsed_ms() const { return last_elapsed_; }

    // Reads one frame into the staging buffer on the held device file: 0, 10 when the file
    // cannot be opened, 19 when the request or the transfer fails or is short.
    [[nodiscard]] int32_t read_single_frame();
    [[nodiscard]] int32_t extract_single_frame(void* destination, int32_t stride = 0);
    const uint8_t* staging_frame() const { return staging_.get(); }
    int32_t close_held_handle();
    // Makes a single-frame read pending on the held file (on another thread) return at once,
    // failed. A read that starts after the call is not affected: call again until the
    // reading thread has seen its stop.
    void cancel_single_read();
    int32_t last_transfer_error() const { return last_transfer_error_; }
    // The last failed single-frame read moved fewer bytes than a frame (rather than failing).
    bool last_read_short() const { return last_read_short_; }
    // The faults of the streaming loop; the single-frame readers count theirs here too.
    TransferCounters& transfer_counters() { return stream_.counters(); }

protected:
    DriverTransport& transport() { return *transport_.load(); }
    void reset_device_state();
    [[nodiscard]] int32_t set_mirror(int32_t bit, int32_t on, int32_t* flag);
    [[nodiscard]] int32_t write_init_table();
    // Writes the exposure register's own value again (the blanking follows the window and
    // the trigger); 1, or 0 when it cannot be read or written.
    [[nodiscard]] int32_t reapply_exposure();
    // Opens the device file, runs the body on it and closes it; 0 when the open failed.
    template <class Body>
    int32_t transaction(Body&& body);

    char prefix_[32] = "";
    int32_t two_byte_ = 0;
    int32_t readout_mode_ = 0;

private:
    // Replaced by an application thread's enumeration while a worker may open a file.
    std::atomic<DriverTransport*> transport_;
    int32_t presence_[driver::kMaxDeviceCount] = {};
    int32_t device_number_ = 0;
    char path_[128] = "";
    // The file of single-frame reads. Opened, used and closed by the reading thread; the lock
    // keeps it from being closed under a cancellation from another thread.
    DriverHandle held_;
    std::mutex held_lock_;
    int32_t driver_timeout_ = kDefaultDriverTimeoutMs;
    bool last_read_short_ = false;

    int32_t sub_sampling_ = 0;
    int32_t window_x_ = 0, window_y_ = 0, window_width_ = 0, window_height_ = 0;
    int32_t even_x_ = 0, even_y_ = 0, even_width_ = 0, even_height_ = 0;
    int32_t mirror_h_ = 0, mirror_v_ = 0;
    std::atomic<int32_t> trigger_{0};  // read by a worker's exposure changes while a stop switches it
    int32_t init_written_ = 0;
    bool leave_alone_ = false;
    int32_t programmed_transfer_ = 0;
    int32_t large_ = 0;

    FrameGeometry geometry_;
    int32_t transfer_size_ = 0;
    int32_t geometry_result_ = 0;
    bool transfer_size_taken_ = false;  // by the device, for the ring built last
    std::unique_ptr<uint8_t[]> staging_;
    FrameStream stream_;
    int32_t last_elapsed_ = 0;
    int32_t last_transfer_error_ = 0;
};

template <class Body>
int32_t CIVMSdkLib::transaction(Body&& body) {
    DriverHandle device;
    if (!open_device_file(transport(), path_, &device)) return 0;
    const int32_t result = body(device);
    close_device_file(&device);
    return result;
}

}  // namespace imvela
