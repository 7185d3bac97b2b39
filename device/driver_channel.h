#pragma once
// The primitives of the driver channel: open and close a device file, move data over a pipe,
// send a command record and read a response record.
#include <cstdint>

#include "driver/driver_protocol.h"
#include "driver/driver_transport.h"

namespace imvela {

// Transfer results.
constexpr int32_t kTransferOk = 0;
constexpr int32_t kTransferFailed = -1;
constexpr int32_t kTransferNoBuffer = -2;
constexpr int32_t kTransferNoHandle = -3;

// Record exchange results.
constexpr int32_t kRecordOk = 0;
constexpr int32_t kRecordNoHandle = 10;
constexpr int32_t kRecordFailed = 12;

// Writes "\\.\<prefix>-<suffix>" for device number 0..35 into path (capacity bytes); false
// for a number without a suffix or a path that does not fit.
bool format_device_path(const char* prefix, int32_t number, char* path, int32_t capacity);

// Opens the path through the transport into *handle; 1 when the handle is not null (the
// invalid value counts as opened), 0 otherwise or for a null path.
int32_t open_device_file(DriverTransport& transport, const char* path, DriverHandle* handle);
// Closes a non-null handle and nulls it; 1 when it closed one.
int32_t close_device_file(DriverHandle* handle);

// One request on the pipe: selector 0 or 1 picks the code of the transfer kind.
int32_t standard_transfer(const DriverHandle& handle, uint32_t pipe, uint32_t length, void* buffer, uint32_t* moved,
                          int32_t selector);
int32_t large_transfer(const DriverHandle& handle, uint32_t pipe, uint32_t length, void* buffer, uint32_t* moved,
                       int32_t selector);

// A whole command record to pipe 0 (selector 1, or 0 for the stream's frame requests).
int32_t send_command(const DriverHandle& handle, const driver::Record& record, int32_t selector = driver::kSelector1);
// A whole response record from pipe 1.
int32_t read_response(const DriverHandle& handle, driver::Record* record);

}  // namespace imvela
