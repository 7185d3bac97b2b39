// CIVMSdkLib: frame geometry, the transfer ring and its stream, the single-frame read and
// the window extraction.
#include <cstring>
#include <new>

#include "device/ivm_sdk_lib.h"
#include "platform/debug_log.h"

namespace imvela {

namespace {
// Far above any frame of this sensor; keeps every size inside 32 bits on every build.
constexpr int64_t kMaxTransferSamples = 64LL * 1024 * 1024;
}  // namespace

int64_t transfer_samples(int32_t row_pitch, int32_t active_rows, int32_t y_offset) {
    const int64_t samples = static_cast<int64_t>(row_pitch) * (static_cast<int64_t>(active_rows) + y_offset);
    return (samples + 1023) / 1024 * 1024;
}

int32_t CIVMSdkLib::rebuild_geometry(int32_t row_pitch, int32_t x_offset, int32_t active_width, int32_t total_rows,
                                     int32_t y_offset, int32_t active_rows, int32_t ring_count) {
    // Offsets are checked too: a window reaching past its row or frame would read outside
    // the buffers.
    if (row_pitch < 1 || active_width < 1 || row_pitch < active_width || x_offset < 0 ||
        x_offset > row_pitch - active_width)
        return kGeometryHorizontal;
    if (total_rows < 1 || active_rows < 1 || y_offset < 0 || static_cast<int64_t>(total_rows) < int64_t{y_offset} + active_rows)
        return kGeometryVertical;
    if (ring_count < 2) return kGeometryRingCount;
    if (stream_.running()) return kStreamAlreadyRunning;

    staging_.reset();
    stream_.release_blocks();
    geometry_ = FrameGeometry{row_pitch, x_offset, active_width, total_rows, y_offset, active_rows};
    const int64_t samples = transfer_samples(row_pitch, active_rows, y_offset);
    if (samples > kMaxTransferSamples) {
        transfer_size_ = 0;
        return kGeometryNoMemory;
    }
    transfer_size_ = static_cast<int32_t>(samples);
    // Blocks are sized for two-byte samples so a change of sample width needs no new ring.
    const int64_t block = samples * 2;
    staging_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(block)]());
    if (!staging_ || stream_.allocate(block, ring_count) != 0) {
        staging_.reset();
        return kGeometryNoMemory;
    }
    transfer_size_taken_ = send_command_record(driver::transfer_size_command(transfer_size_)) != 0;
    return 0;
}

int32_t CIVMSdkLib::start_streaming() {
    if (stream_.running()) return kStreamAlreadyRunning;
    if (!send_command_record(driver::command(driver::CMD_PREPARE))) return kStreamOpenFailed;
    return stream_.start(transport(), path_, frame_bytes(), large_ != 0, driver_timeout_);
}

int32_t CIVMSdkLib::stop_streaming() {
    const int32_t result = stream_.stop();
    last_elapsed_ = stream_.elapsed_ms();
    return result;
}

int32_t CIVMSdkLib::extract_taken_frame(void* destination, int32_t stride) {
    if (!destination) return kExtractNoBuffer;
    const uint8_t* frame = stream_.taken_frame();
    if (!frame) return kExtractNoBuffer;
    const int32_t result = CopyWindow(destination, stride, frame);
    stream_.release_taken();
    return result;
}

uint8_t* CIVMSdkLib::taken_window(int32_t* stride) {
    uint8_t* frame = stream_.taken_frame();
    if (!frame || !stride) return nullptr;
    const FrameGeometry& g = geometry_;
    const int64_t sample = two_byte_ ? 2 : 1;
    *stride = static_cast<int32_t>(int64_t{g.row_pitch} * sample);
    return frame + (int64_t{g.y_offset} * g.row_pitch + g.x_offset) * sample;
}

int32_t CIVMSdkLib::read_single_frame() {
    const uint32_t bytes = static_cast<uint32_t>(frame_bytes());
    if (held_.is_null() || held_.is_invalid()) {
        std::lock_guard<std::mutex> g(held_lock_);
        close_device_file(&held_);
        if (!open_device_file(transport(), path_, &held_) || held_.is_invalid()) {
            close_device_file(&held_);
            last_transfer_error_ = kStreamTransferFailed;
            IMVELA_LOG(device, error, "single frame: the device file %s does not open", path_);
            return kStreamOpenFailed;
        }
    }
    uint32_t moved = 0;
    const bool requested = send_command_record(driver::command(driver::CMD_PREPARE)) &&
                           send_command(held_, driver::command(driver::CMD_REQUEST_FRAME), driver::kSelector1) ==
                               kRecordOk;
    const int32_t r = !requested ? kTransferFailed : large_ ? large_transfer(held_, driver::kPipeImage, bytes, staging_.get(), &moved, driver::kSelector1)
                             : standard_transfer(held_, driver::kPipeImage, bytes, staging_.get(), &moved,
                                                 driver::kSelector1);
    if (r != kTransferOk || moved != bytes || bytes == 0) {
        last_read_short_ = r == kTransferOk && bytes != 0;
        IMVELA_LOG(device, warn, "single frame: %s, %u of %u bytes", !requested ? "frame request not taken"
                                                                    : r != kTransferOk ? "transfer failed" : "short transfer",
                   moved, bytes);
        last_transfer_error_ = kStreamTransferFailed;
        close_held_handle();
        return kStreamTransferFailed;
    }
    return 0;
}

int32_t CIVMSdkLib::extract_single_frame(void* destination, int32_t stride) {
    if (!destination || !staging_) return kExtractNoBuffer;
    return CopyWindow(destination, stride, staging_.get());
}

int32_t CIVMSdkLib::CopyWindow(void* destination, int32_t stride, const void* frame) {
    if (!destination || !frame) return kExtractNoBuffer;
    const FrameGeometry& g = geometry_;
    const size_t sample = two_byte_ ? 2 : 1;
    const size_t row_bytes = static_cast<size_t>(g.active_width) * sample;
    const size_t out_stride = stride > 0 ? static_cast<size_t>(stride) : row_bytes;
    auto* out = static_cast<uint8_t*>(destination);
    const auto* in = static_cast<const uint8_t*>(frame);
    if (g.active_width == g.row_pitch && g.active_rows == g.total_rows && out_stride == row_bytes) {
        std::memcpy(out, in, row_bytes * static_cast<size_t>(g.active_rows));
        return 0;
    }
    for (int32_t i = 0; i < g.active_rows; ++i) {
        const size_t from = (static_cast<size_t>(i + g.y_offset) * static_cast<size_t>(g.row_pitch) +
                             static_cast<size_t>(g.x_offset)) * sample;
        std::memcpy(out + static_cast<size_t>(i) * out_stride, in + from, row_bytes);
    }
    return 0;
}

}  // namespace imvela
