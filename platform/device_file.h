#pragma once
// The system's device-file calls through which the camera driver is reached.
#include <cstdint>

namespace imvela::platform {

// The value the system returns when a device file cannot be opened.
constexpr intptr_t kInvalidDeviceHandle = -1;

// True where a kernel driver for the camera can exist (Windows); elsewhere the calls below
// fail as they do on a machine without the camera.
bool has_device_driver();

// Opens the device file for writing, sharing writes, open-existing; the system's handle or
// kInvalidDeviceHandle.
intptr_t device_open(const char* path);

// One device-control request; true when the system reports success, with the bytes moved.
bool device_control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                    uint32_t output_size, uint32_t* returned);

// Cancels the requests outstanding on a handle from device_open, whichever thread made
// them; false when the system cannot.
bool device_cancel(intptr_t handle);

// Closes a handle from device_open; false when the system refuses it.
bool device_close(intptr_t handle);

}  // namespace imvela::platform
