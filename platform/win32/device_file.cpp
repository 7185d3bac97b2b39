#include "platform/device_file.h"

#include <windows.h>
#include "platform/debug_log.h"
#include "platform/system_error.h"

namespace imvela::platform {

bool has_device_driver() { return true; }

intptr_t device_open(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        IMVELA_LOG(device, debug, "opening %s: %s", path, system_error_text().c_str());
    return reinterpret_cast<intptr_t>(h);
}

bool device_control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                    uint32_t output_size, uint32_t* returned) {
    DWORD moved = 0;
    const BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, const_cast<void*>(input), input_size, output,
                                    output_size, &moved, nullptr);
    if (returned) *returned = moved;
    if (!ok) IMVELA_LOG(device, debug, "device request 0x%08lX: %s", static_cast<unsigned long>(code), system_error_text().c_str());
    return ok != FALSE;
}

bool device_cancel(intptr_t handle) {
    // CancelIoEx reaches the requests of every thread; systems before it have only CancelIo,
    // which cannot, so there is nothing to do there.
    using CancelIoExFunction = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
    static const auto cancel_io_ex = reinterpret_cast<CancelIoExFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CancelIoEx")));
    return cancel_io_ex && cancel_io_ex(reinterpret_cast<HANDLE>(handle), nullptr) != FALSE;
}

bool device_close(intptr_t handle) { return CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE; }

}  // namespace imvela::platform
