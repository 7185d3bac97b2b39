#pragma once
// The seam under the driver channel: open a device file, send it a device-control request,
// close it. The system transport reaches the kernel driver; the emulated camera serves the
// same calls in-process.
#include <cstdint>

namespace imvela {

// The value a transport returns for a device file that could not be opened.
constexpr intptr_t kInvalidDeviceHandle = -1;

class DriverTransport {
public:
    // The handle of the opened file, or kInvalidDeviceHandle; never 0.
    virtual intptr_t open_file(const char* path) = 0;
    // True when the request succeeded; *returned receives the bytes moved.
    virtual bool control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                         uint32_t output_size, uint32_t* returned) = 0;
    virtual bool close_file(intptr_t handle) = 0;
    // The pause the camera needs after some requests (a new window, a clock change, a serial
    // ROM access) before the next one. The real camera needs it; an emulated one does not.
    virtual void settle(int32_t milliseconds) = 0;

protected:
    ~DriverTransport() = default;
};

// An open device file: the handle and the transport it belongs to, so that a request always
// reaches the driver that opened the file even when the selection changes meanwhile.
struct DriverHandle {
    DriverTransport* transport = nullptr;
    intptr_t value = 0;

    bool is_null() const { return value == 0 || transport == nullptr; }
    bool is_invalid() const { return value == kInvalidDeviceHandle; }
};

}  // namespace imvela
