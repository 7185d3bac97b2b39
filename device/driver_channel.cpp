#include "device/driver_channel.h"

#include <cstdio>
#include "platform/debug_log.h"

namespace imvela {

bool format_device_path(const char* prefix, int32_t number, char* path, int32_t capacity) {
    if (!prefix || !path || capacity <= 0 || number < 0 || number >= driver::kSuffixCount) return false;
    const char suffix[2] = {driver::kDeviceSuffixes[number], '\0'};
    const int n = std::snprintf(path, static_cast<size_t>(capacity), "\\\\.\\%s-%s", prefix, suffix);
    return n > 0 && n < capacity;
}

int32_t open_device_file(DriverTransport& transport, const char* path, DriverHandle* handle) {
    handle->transport = &transport;
    handle->value = path ? transport.open_file(path) : 0;
    if (handle->is_null() || handle->is_invalid())
        IMVELA_LOG(device, debug, "device file %s does not open", path ? path : "(none)");
    return handle->is_null() ? 0 : 1;
}

int32_t close_device_file(DriverHandle* handle) {
    if (handle->is_null()) return 0;
    handle->transport->close_file(handle->value);
    handle->value = 0;
    return 1;
}

namespace {

int32_t transfer(const DriverHandle& handle, uint32_t code, uint32_t pipe, uint32_t length, void* buffer,
                 uint32_t* moved) {
    if (!buffer) return kTransferNoBuffer;
    if (handle.is_null()) return kTransferNoHandle;
    uint32_t returned = 0;
    // The pipe number is the request's input; the data buffer always sits in the output
    // position and the driver moves the data in the pipe's direction.
    const bool ok = handle.transport->control(handle.value, code, &pipe, sizeof pipe, buffer, length, &returned);
    if (moved) *moved = returned;
    if (!ok)
        IMVELA_LOG(device, debug, "request 0x%08X on pipe %u failed after %u of %u bytes", code, pipe, returned,
                   length);
    return ok ? kTransferOk : kTransferFailed;
}

}  // namespace

int32_t standard_transfer(const DriverHandle& handle, uint32_t pipe, uint32_t length, void* buffer, uint32_t* moved,
                          int32_t selector) {
    return transfer(handle, selector ? driver::kCodeTransferIn : driver::kCodeTransferOut, pipe, length, buffer, moved);
}

int32_t large_transfer(const DriverHandle& handle, uint32_t pipe, uint32_t length, void* buffer, uint32_t* moved,
                       int32_t selector) {
    return transfer(handle, selector ? driver::kCodeLargeTransferIn : driver::kCodeLargeTransferOut, pipe, length,
                    buffer, moved);
}

namespace {

int32_t exchange_record(const DriverHandle& handle, uint32_t pipe, uint8_t* record, int32_t selector) {
    if (handle.is_null()) return kRecordNoHandle;
    uint32_t moved = 0;
    const int32_t r = standard_transfer(handle, pipe, driver::kRecordSize, record, &moved, selector);
    return r == kTransferOk && moved == driver::kRecordSize ? kRecordOk : kRecordFailed;
}

}  // namespace

int32_t send_command(const DriverHandle& handle, const driver::Record& record, int32_t selector) {
    // The driver takes the buffer in the output position; give it a copy it may write to.
    driver::Record copy = record;
    return exchange_record(handle, driver::kPipeCommand, copy.data(), selector);
}

int32_t read_response(const DriverHandle& handle, driver::Record* record) {
    return exchange_record(handle, driver::kPipeResponse, record->data(), driver::kSelector0);
}

}  // namespace imvela
