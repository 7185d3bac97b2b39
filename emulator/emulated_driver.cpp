#include "emulator/emulated_driver.h"

#include <cstring>
#include <new>

#include "driver/driver_protocol.h"

namespace imvela::emulator {

using namespace driver;

EmulatedDriver::EmulatedDriver() {
    for (int32_t n = 0; n < kMaxCameras; ++n) cameras_[n] = std::make_unique<EmulatedCamera>(n);
    apply(Settings{});
}

EmulatedDriver& emulated_driver() {
    static EmulatedDriver* driver = new EmulatedDriver;  // never destroyed: threads may still use it at exit
    return *driver;
}

int32_t device_number_of_path(const char* path) {
    static const char kPrefix[] = "\\\\.\\";
    if (!path) return -1;
    const size_t lead = std::strlen(kPrefix);
    const size_t name = std::strlen(kDevicePrefix);
    if (std::strncmp(path, kPrefix, lead) != 0 || std::strncmp(path + lead, kDevicePrefix, name) != 0) return -1;
    const char* rest = path + lead + name;
    if (rest[0] != '-' || rest[1] == '\0' || rest[2] != '\0') return -1;
    const char* at = std::strchr(kDeviceSuffixes, rest[1]);
    return at ? static_cast<int32_t>(at - kDeviceSuffixes) : -1;
}

void EmulatedDriver::apply(const Settings& settings) {
    std::lock_guard<std::mutex> g(lock_);
    settings_ = settings;
    for (bool& p : present_) p = false;
    for (int32_t n : settings.cameras)
        if (n >= 0 && n < kMaxCameras) present_[n] = true;
}

void EmulatedDriver::fix_settings(const Settings& settings) {
    apply(settings);
    std::lock_guard<std::mutex> g(lock_);
    fixed_ = true;
}

void EmulatedDriver::release_settings() {
    std::lock_guard<std::mutex> g(lock_);
    fixed_ = false;
}

bool EmulatedDriver::settings_fixed() const {
    std::lock_guard<std::mutex> g(lock_);
    return fixed_;
}

Settings EmulatedDriver::settings() const {
    std::lock_guard<std::mutex> g(lock_);
    return settings_;
}

EmulatedCamera* EmulatedDriver::camera(int32_t number) {
    std::lock_guard<std::mutex> g(lock_);
    return number >= 0 && number < kMaxCameras && present_[number] ? cameras_[number].get() : nullptr;
}

void EmulatedDriver::reset_cameras() {
    for (auto& c : cameras_) c->reset();
}

intptr_t EmulatedDriver::open_file(const char* path) {
    EmulatedCamera* cam = camera(device_number_of_path(path));
    if (!cam || !cam->plugged()) return kInvalidDeviceHandle;
    OpenFile* file = new (std::nothrow) OpenFile{cam, cam->generation()};
    return file ? reinterpret_cast<intptr_t>(file) : kInvalidDeviceHandle;
}

bool EmulatedDriver::close_file(intptr_t handle) {
    if (handle == 0 || handle == kInvalidDeviceHandle) return false;
    delete reinterpret_cast<OpenFile*>(handle);
    return true;
}

bool EmulatedDriver::control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                             uint32_t output_size, uint32_t* returned) {
    if (returned) *returned = 0;
    if (handle == 0 || handle == kInvalidDeviceHandle || !input) return false;
    const OpenFile& file = *reinterpret_cast<const OpenFile*>(handle);
    EmulatedCamera& cam = *file.camera;
    // A file opened before the camera was unplugged stays dead.
    if (cam.generation() != file.generation || !cam.plugged()) return false;
    const auto* in = static_cast<const uint8_t*>(input);

    if (code == kCodeSetTimeout) {
        if (input_size != kTimeoutRecordSize || get_le32(in) != 1) return false;
        cam.set_timeout(static_cast<int32_t>(get_le32(in + 4)));
        return true;
    }
    const bool standard = code == kCodeTransferOut || code == kCodeTransferIn;
    const bool large = code == kCodeLargeTransferOut || code == kCodeLargeTransferIn;
    if ((!standard && !large) || input_size != sizeof(uint32_t) || !output) return false;
    const uint32_t pipe = get_le32(in);
    auto* data = static_cast<uint8_t*>(output);
    CameraSettings settings;
    {
        std::lock_guard<std::mutex> g(lock_);
        settings = settings_.camera;
    }
    switch (pipe) {
        case kPipeCommand:
            if (!standard || !cam.command(data, output_size, settings)) return false;
            if (returned) *returned = kRecordSize;
            return true;
        case kPipeResponse:
            if (!standard || !cam.response(data, output_size)) return false;
            if (returned) *returned = kRecordSize;
            return true;
        case kPipeImage: {
            // Image data flows from the camera: only the inbound codes carry it.
            if (code != kCodeTransferIn && code != kCodeLargeTransferIn) return false;
            uint32_t moved = 0;
            const bool ok = cam.image(data, output_size, &moved, file.generation, settings);
            if (returned) *returned = moved;
            return ok;
        }
        default:
            return false;
    }
}

bool refresh_from_environment(bool has_system_driver) {
    EmulatedDriver& driver = emulated_driver();
    if (driver.settings_fixed()) return true;
    Settings settings;
    if (!settings_from_environment(has_system_driver, driver.settings(), &settings)) return false;
    driver.apply(settings);
    return true;
}

}  // namespace imvela::emulator
