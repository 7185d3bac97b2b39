#pragma once
// The emulated camera driver: serves the device files named from the driver prefix, the
// five control codes and the three pipes in-process, for the cameras its settings name.
#include <cstdint>
#include <memory>
#include <mutex>

#include "driver/driver_transport.h"
#include "emulator/emulated_camera.h"
#include "emulator/emulator_settings.h"

namespace imvela::emulator {

class EmulatedDriver final : public DriverTransport {
public:
    EmulatedDriver();

    intptr_t open_file(const char* path) override;
    bool control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                 uint32_t output_size, uint32_t* returned) override;
    bool close_file(intptr_t handle) override;
    // The emulated camera is ready at once: no pause.
    void settle(int32_t) override {}

    // Takes settings (from the environment, unless fixed ones are in force).
    void apply(const Settings& settings);
    // Test rigs: use these settings and ignore the environment until release_settings().
    void fix_settings(const Settings& settings);
    void release_settings();
    bool settings_fixed() const;
    Settings settings() const;

    // The camera at a device number when the settings name it, else null.
    EmulatedCamera* camera(int32_t number);
    // Every camera back to its power-on state (serial ROM included).
    void reset_cameras();

private:
    struct OpenFile {
        EmulatedCamera* camera;
        uint32_t generation;
    };

    mutable std::mutex lock_;
    Settings settings_;
    bool fixed_ = false;
    bool present_[kMaxCameras] = {};
    std::unique_ptr<EmulatedCamera> cameras_[kMaxCameras];
};

// The process's one emulated driver.
EmulatedDriver& emulated_driver();

// Re-reads the environment into the emulated driver; true when the emulator is the driver
// to use now (always while fixed settings are in force).
bool refresh_from_environment(bool has_system_driver);

// Device number of a device path made from the driver prefix, or -1.
int32_t device_number_of_path(const char* path);

}  // namespace imvela::emulator
