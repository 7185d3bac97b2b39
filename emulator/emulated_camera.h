#pragma once
// One emulated camera: the controller that interprets command records, the sensor register
// file, the controller's port registers, the serial ROM and the image pipe.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "driver/driver_protocol.h"
#include "emulator/emulated_scene.h"
#include "emulator/emulator_settings.h"

namespace imvela::emulator {

// Faults a test rig can inject for the next image requests.
enum FaultKind : int32_t {
    kFaultNone = 0,
    kFaultShortTransfer = 1,
    kFaultFailedRequest = 2,
    kFaultStall = 3,
    kFaultUnplug = 4,
};

// The cancellation of one image request: it ends, failed, once the counter differs from
// the value it had when the request began.
struct ImageCancel {
    const std::atomic<uint32_t>* counter = nullptr;
    uint32_t seen = 0;
    bool requested() const { return counter && counter->load(std::memory_order_acquire) != seen; }
};

class EmulatedCamera {
public:
    explicit EmulatedCamera(int32_t number);
    EmulatedCamera(const EmulatedCamera&) = delete;
    EmulatedCamera& operator=(const EmulatedCamera&) = delete;

    // ---- The driver contract (false: the request fails) --------------------------------
    // Pipe 0: one command record.
    bool command(const uint8_t* record, uint32_t length, const CameraSettings& settings);
    // Pipe 1: the reply to the last command that has one.
    bool response(uint8_t* record, uint32_t length);
    // Pipe 2: one frame for a pending frame request; may wait for pacing or a trigger.
    // generation: the plug generation the device file was opened in.
    // A cancelled request ends at once, failed, whatever it waits for.
    bool image(uint8_t* buffer, uint32_t length, uint32_t* moved, uint32_t generation, const CameraSettings& settings,
               ImageCancel cancel = {});
    // Wakes the requests waiting now, so that they look at their cancellation.
    void wake();
    void set_timeout(int32_t milliseconds);

    bool plugged() const;
    uint32_t generation() const;

    // ---- Test rig ----------------------------------------------------------------------
    int32_t trigger();                                // 1 when armed
    int32_t inject_fault(int32_t kind, int32_t count);  // 1, or 0 for an unknown kind
    void replug();
    int32_t read_register(int32_t address) const;
    int32_t read_port(int32_t port) const;
    int32_t frame_count() const;
    // CPU time spent making frames (every image read's rendering, on whichever thread read),
    // so that measurements of the library can take the camera's share out.
    uint64_t render_cpu_nanoseconds() const;
    // Image reads waiting for a trigger now.
    int32_t waiting_reads() const;
    // Injected faults not yet taken by an image read (a stall is taken when it begins).
    int32_t faults_pending() const;
    int32_t srom(int32_t address, const CameraSettings& settings) const;
    // Power-on state, the serial ROM included.
    void reset();

private:
    using Clock = std::chrono::steady_clock;

    bool armed() const { return ports_[11] == 1; }
    int32_t srom_locked(int32_t address, int32_t rom_mode) const;
    // Waits for a trigger (latched, explicit or periodic); false on timeout or disarm.
    bool wait_for_trigger(std::unique_lock<std::mutex>& lock, const CameraSettings& settings, ImageCancel cancel);
    // Fills up to length bytes with the frame the registers describe; the frame's size.
    uint32_t render(uint8_t* buffer, uint32_t length, const CameraSettings& settings);

    const int32_t number_;
    mutable std::mutex lock_;
    std::condition_variable changed_;

    std::vector<uint16_t> registers_;
    uint8_t ports_[256] = {};
    uint8_t rom_id_[256] = {};
    driver::Record reply_{};
    bool has_reply_ = false;
    int32_t sample_flag_ = 0;        // last CMD_SET_SAMPLE_WIDTH
    int32_t transfer_command_ = 0;   // last CMD_SET_TRANSFER_SIZE
    int32_t pending_requests_ = 0;
    int32_t timeout_ms_ = driver::kDefaultTimeoutMs;

    bool latched_trigger_ = false;
    int32_t waiting_reads_ = 0;
    Clock::time_point armed_at_{};
    int64_t periodic_used_ = 0;      // periodic triggers consumed since arming

    int32_t fault_kind_ = kFaultNone;
    int32_t fault_count_ = 0;
    bool unplugged_ = false;
    uint32_t generation_ = 1;

    Clock::time_point next_frame_{};
    uint32_t frames_ = 0;
    uint64_t render_cpu_ns_ = 0;
    ScenePlanes planes_;
};

}  // namespace imvela::emulator
