#include "emulator/emulated_camera.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "driver/sensor_map.h"
#include "platform/clock.h"

namespace imvela::emulator {

using namespace driver;

namespace {

bool zero_from(const uint8_t* record, uint32_t from) {
    for (uint32_t i = from; i < kRecordSize; ++i)
        if (record[i] != 0) return false;
    return true;
}

int32_t gain_index_of_code(int32_t code) {
    for (int32_t i = 0; i <= sensor::kGainMax; ++i)
        if (sensor::kGainCodes[i] == code) return i;
    return 0;
}

}  // namespace

EmulatedCamera::EmulatedCamera(int32_t number) : number_(number), registers_(0x10000, 0) { reset(); }

void EmulatedCamera::reset() {
    std::lock_guard<std::mutex> g(lock_);
    std::fill(registers_.begin(), registers_.end(), 0);
    std::memset(ports_, 0, sizeof ports_);
    std::memset(rom_id_, 0, sizeof rom_id_);
    char id[16];
    std::snprintf(id, sizeof id, "EMU-%02d", number_);
    std::memcpy(rom_id_, id, std::strlen(id));
    reply_ = {};
    has_reply_ = false;
    sample_flag_ = 0;
    transfer_command_ = 0;
    pending_requests_ = 0;
    timeout_ms_ = driver::kDefaultTimeoutMs;
    latched_trigger_ = false;
    periodic_used_ = 0;
    fault_kind_ = kFaultNone;
    fault_count_ = 0;
    unplugged_ = false;
    ++generation_;
    next_frame_ = Clock::time_point{};
    frames_ = 0;
    changed_.notify_all();
}

int32_t EmulatedCamera::srom_locked(int32_t address, int32_t rom_mode) const {
    if (address >= kSromIdBase && address < kSromIdBase + kSromIdSize) return rom_id_[address - kSromIdBase];
    if (address == kSromReadoutModeAddress) return rom_mode & 0xFF;
    return 0;
}

int32_t EmulatedCamera::srom(int32_t address, const CameraSettings& settings) const {
    std::lock_guard<std::mutex> g(lock_);
    return srom_locked(address, settings.rom_mode);
}

bool EmulatedCamera::command(const uint8_t* r, uint32_t length, const CameraSettings& settings) {
    if (!r || length != kRecordSize) return false;
    std::lock_guard<std::mutex> g(lock_);
    switch (r[0]) {
        case CMD_PREPARE:
        case CMD_INITIALIZE:
            return zero_from(r, 1);
        case CMD_REQUEST_FRAME:
            if (!zero_from(r, 1)) return false;
            pending_requests_ = 1;
            return true;
        case CMD_WRITE_REGISTER:
            if (!zero_from(r, 5)) return false;
            registers_[static_cast<size_t>(r[1] << 8 | r[2])] = static_cast<uint16_t>(r[3] << 8 | r[4]);
            return true;
        case CMD_SET_TRANSFER_SIZE:
            if (!zero_from(r, 5)) return false;
            transfer_command_ = static_cast<int32_t>(get_le32(&r[1]));
            return true;
        case CMD_SET_SAMPLE_WIDTH:
            if (r[1] > 1 || !zero_from(r, 2)) return false;
            sample_flag_ = r[1];
            return true;
        case CMD_READ_REGISTER: {
            if (!zero_from(r, 3)) return false;
            const uint16_t v = registers_[static_cast<size_t>(r[1] << 8 | r[2])];
            reply_ = {};
            reply_[0] = static_cast<uint8_t>(v >> 8);
            reply_[1] = static_cast<uint8_t>(v);
            has_reply_ = true;
            return true;
        }
        case CMD_WRITE_PORT: {
            if (!zero_from(r, 3)) return false;
            const bool was_armed = armed();
            ports_[r[1]] = r[2];
            if (r[1] == sensor::kPortTrigger && armed() != was_armed) {
                // Arming starts the periodic trigger afresh; disarming drops a latched one
                // and ends a pending read.
                latched_trigger_ = false;
                armed_at_ = Clock::now();
                periodic_used_ = 0;
                changed_.notify_all();
            }
            return true;
        }
        case CMD_READ_PORT:
            if (!zero_from(r, 2)) return false;
            reply_ = {};
            reply_[0] = ports_[r[1]];
            has_reply_ = true;
            return true;
        case CMD_SROM_WRITE:
            if (r[1] != kSromBusAddress || r[2] != 0x03 || r[3] != (kSromIdBase >> 8) || !zero_from(r, 6)) return false;
            rom_id_[r[4]] = r[5];
            return true;
        case CMD_SROM_READ:
            if (r[1] != kSromBusAddress || r[2] != 0x02 || r[3] != 0x01 || !zero_from(r, 6)) return false;
            reply_ = {};
            reply_[0] = static_cast<uint8_t>(srom_locked(r[4] << 8 | r[5], settings.rom_mode));
            has_reply_ = true;
            return true;
        default:
            return false;  // the controller knows no other command
    }
}

bool EmulatedCamera::response(uint8_t* record, uint32_t length) {
    if (!record || length != kRecordSize) return false;
    std::lock_guard<std::mutex> g(lock_);
    if (!has_reply_) return false;
    std::memcpy(record, reply_.data(), kRecordSize);
    return true;
}

void EmulatedCamera::set_timeout(int32_t milliseconds) {
    std::lock_guard<std::mutex> g(lock_);
    timeout_ms_ = std::max(0, milliseconds);
}

bool EmulatedCamera::plugged() const {
    std::lock_guard<std::mutex> g(lock_);
    return !unplugged_;
}

uint32_t EmulatedCamera::generation() const {
    std::lock_guard<std::mutex> g(lock_);
    return generation_;
}

void EmulatedCamera::wake() {
    std::lock_guard<std::mutex> g(lock_);
    changed_.notify_all();
}

bool EmulatedCamera::wait_for_trigger(std::unique_lock<std::mutex>& lock, const CameraSettings& settings,
                                      ImageCancel cancel) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms_);
    for (;;) {
        if (unplugged_ || !armed() || cancel.requested()) return false;
        if (latched_trigger_) {
            latched_trigger_ = false;
            return true;
        }
        auto wake = deadline;
        const auto now = Clock::now();
        if (settings.trigger_ms > 0) {
            // Periodic triggers since arming; those nobody waited for collapse into one.
            const auto period = std::chrono::milliseconds(settings.trigger_ms);
            const int64_t fired = (now - armed_at_) / period;
            if (fired > periodic_used_) {
                periodic_used_ = fired;
                return true;
            }
            wake = std::min(wake, armed_at_ + period * (fired + 1));
        }
        if (now >= deadline) return false;
        ++waiting_reads_;
        changed_.wait_until(lock, wake);
        --waiting_reads_;
    }
}

bool EmulatedCamera::image(uint8_t* buffer, uint32_t length, uint32_t* moved, uint32_t generation,
                           const CameraSettings& settings, ImageCancel cancel) {
    *moved = 0;
    std::unique_lock<std::mutex> lock(lock_);
    if (unplugged_ || generation != generation_ || pending_requests_ == 0) return false;
    pending_requests_ = 0;
    bool short_transfer = false;
    if (fault_count_ > 0) {
        --fault_count_;
        switch (fault_kind_) {
            case kFaultShortTransfer:
                short_transfer = true;
                break;
            case kFaultFailedRequest:
                return false;
            case kFaultStall: {
                const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms_);
                while (!cancel.requested() && changed_.wait_until(lock, deadline) != std::cv_status::timeout) {
                }
                return false;
            }
            case kFaultUnplug:
                unplugged_ = true;
                ++generation_;
                fault_count_ = 0;
                changed_.notify_all();
                return false;
            default:
                break;
        }
    }
    if (armed()) {
        if (!wait_for_trigger(lock, settings, cancel)) return false;
    } else if (settings.fps > 0) {
        const auto now = Clock::now();
        const auto slot = std::max(now, next_frame_);
        next_frame_ = slot + std::chrono::microseconds(1000000 / settings.fps);
        if (slot > now) {
            lock.unlock();
            std::this_thread::sleep_until(slot);
            lock.lock();
            if (unplugged_ || generation != generation_ || cancel.requested()) return false;
        }
    }
    const uint64_t cpu0 = platform::thread_cpu_nanoseconds();
    const uint32_t frame = render(buffer, length, settings);
    render_cpu_ns_ += platform::thread_cpu_nanoseconds() - cpu0;
    if (frame == 0) return false;
    uint32_t n = std::min(length, frame);
    if (short_transfer) n /= 2;
    *moved = n;
    if (!short_transfer && length == frame) ++frames_;
    return true;
}

uint32_t EmulatedCamera::render(uint8_t* buffer, uint32_t length, const CameraSettings& settings) {
    const bool two_byte = ports_[sensor::kPortSampleFormat] == sensor::kSampleFormatTwoByte ||
                          (ports_[sensor::kPortSampleFormat] != sensor::kSampleFormatOneByte && sample_flag_);
    const uint32_t bps = two_byte ? 2 : 1;
    const uint32_t samples = get_le32(&ports_[sensor::kPortTransferSize0]);
    if (samples == 0 || samples > 64u * 1024 * 1024) return 0;
    const uint32_t limit = std::min(samples, length / bps);

    const int32_t g = registers_[sensor::kRegFirstColumn] - sensor::kFirstColumnBase;
    const int32_t e = registers_[sensor::kRegFirstRow] - sensor::kFirstRowBase;
    const int32_t w = registers_[sensor::kRegColumnCount];
    const int32_t h = registers_[sensor::kRegRowCount];
    const bool mirror_x = registers_[sensor::kRegReadMode] & sensor::kMirrorHorizontalBit;
    const bool mirror_y = registers_[sensor::kRegReadMode] & sensor::kMirrorVerticalBit;
    const int64_t level = scene_level(registers_[sensor::kRegExposure],
                                      gain_index_of_code(registers_[sensor::kRegGainA] & 0xFF));
    planes_.prepare(settings.scene, level);

    if (w <= 0) {
        std::memset(buffer, 0, static_cast<size_t>(limit) * bps);
        return samples * bps;
    }
    // Sensor position of a delivered sample, and back.
    auto sensor_x = [&](int32_t c) { return mirror_x ? g + w - 1 - c : g + c; };
    auto sensor_y = [&](int32_t r) { return mirror_y ? e + h - 1 - r : e + r; };
    auto put = [&](int64_t index, uint16_t v16, uint8_t v8) {
        if (index < 0 || index >= limit) return;
        if (two_byte)
            std::memcpy(buffer + index * 2, &v16, 2);
        else
            buffer[index] = v8;
    };

    for (uint32_t r = 0; static_cast<uint64_t>(r) * w < limit; ++r) {
        const uint32_t first = r * static_cast<uint32_t>(w);
        const int32_t count = static_cast<int32_t>(std::min<uint32_t>(static_cast<uint32_t>(w), limit - first));
        uint8_t* out = buffer + static_cast<size_t>(first) * bps;
        const int32_t y = sensor_y(static_cast<int32_t>(r));
        if (static_cast<int32_t>(r) >= h || y < 0 || y >= kSensorRows) {
            std::memset(out, 0, static_cast<size_t>(count) * bps);
            continue;
        }
        if (!mirror_x && g >= 0 && g + count <= kSensorColumns) {
            if (two_byte)
                std::memcpy(out, planes_.row16(y) + g, static_cast<size_t>(count) * 2);
            else
                std::memcpy(out, planes_.row8(y) + g, static_cast<size_t>(count));
            continue;
        }
        for (int32_t c = 0; c < count; ++c) {
            const int32_t x = sensor_x(c);
            const bool inside = x >= 0 && x < kSensorColumns;
            put(first + c, inside ? planes_.row16(y)[x] : 0, inside ? planes_.row8(y)[x] : 0);
        }
    }

    auto delivered = [&](int32_t x, int32_t y) -> int64_t {
        const int32_t c = mirror_x ? g + w - 1 - x : x - g;
        const int32_t r = mirror_y ? e + h - 1 - y : y - e;
        if (c < 0 || c >= w || r < 0 || r >= h) return -1;
        return static_cast<int64_t>(r) * w + c;
    };
    if (settings.scene == Scene::kBars) {
        const MovingObject o = moving_object(frames_, level);
        for (int32_t y = o.y; y < o.y + o.size; ++y)
            for (int32_t x = o.x; x < o.x + o.size; ++x)
                put(delivered(x, y), o.value16, static_cast<uint8_t>(o.value16 >> 4));
    }
    if (settings.defects)
        for (const SensorPoint& p : *settings.defects) put(delivered(p.x, p.y), kFullScale16, kFullScale8);
    return samples * bps;
}

int32_t EmulatedCamera::trigger() {
    std::lock_guard<std::mutex> g(lock_);
    if (unplugged_ || !armed()) return 0;
    latched_trigger_ = true;
    changed_.notify_all();
    return 1;
}

int32_t EmulatedCamera::inject_fault(int32_t kind, int32_t count) {
    if (kind < kFaultShortTransfer || kind > kFaultUnplug) return 0;
    std::lock_guard<std::mutex> g(lock_);
    fault_kind_ = kind;
    fault_count_ = std::max(0, count);
    return 1;
}

void EmulatedCamera::replug() {
    std::lock_guard<std::mutex> g(lock_);
    if (unplugged_) {
        unplugged_ = false;
        fault_count_ = 0;
    }
    changed_.notify_all();
}

int32_t EmulatedCamera::read_register(int32_t address) const {
    if (address < 0 || address > 0xFFFF) return -1;
    std::lock_guard<std::mutex> g(lock_);
    return registers_[static_cast<size_t>(address)];
}

int32_t EmulatedCamera::read_port(int32_t port) const {
    if (port < 0 || port > 0xFF) return -1;
    std::lock_guard<std::mutex> g(lock_);
    return ports_[port];
}

int32_t EmulatedCamera::waiting_reads() const {
    std::lock_guard<std::mutex> g(lock_);
    return waiting_reads_;
}

int32_t EmulatedCamera::faults_pending() const {
    std::lock_guard<std::mutex> g(lock_);
    return fault_count_;
}

int32_t EmulatedCamera::frame_count() const {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<int32_t>(frames_);
}

uint64_t EmulatedCamera::render_cpu_nanoseconds() const {
    std::lock_guard<std::mutex> g(lock_);
    return render_cpu_ns_;
}

}  // namespace imvela::emulator
