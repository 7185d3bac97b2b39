#include "device/system_driver_transport.h"

#include "platform/clock.h"
#include "platform/device_file.h"

namespace imvela {

namespace {

class SystemDriverTransport final : public DriverTransport {
public:
    intptr_t open_file(const char* path) override {
        const intptr_t h = platform::device_open(path);
        return h == 0 ? kInvalidDeviceHandle : h;
    }
    bool control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                 uint32_t output_size, uint32_t* returned) override {
        return platform::device_control(handle, code, input, input_size, output, output_size, returned);
    }
    bool close_file(intptr_t handle) override {
        // The invalid value is not a handle of ours; on Windows it names the process itself.
        if (handle == kInvalidDeviceHandle) return false;
        return platform::device_close(handle);
    }
    void settle(int32_t milliseconds) override { platform::sleep_milliseconds(milliseconds); }
};

}  // namespace

DriverTransport& system_driver_transport() {
    static SystemDriverTransport transport;
    return transport;
}

}  // namespace imvela
