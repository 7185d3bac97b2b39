#include "camera/device_holder.h"

#include <cstddef>
#include <cstring>

#include "device/device_use_table.h"
#include "platform/process_identity.h"

namespace imvela {

int32_t describe_device_holder(const DeviceUseTable& table, int32_t number, ImvelaDeviceHolder* holder) {
    if (!holder) return ERR_ARGUMENT;
    if (holder->size < static_cast<int32_t>(sizeof(ImvelaDeviceHolder))) return ERR_BUFFER;
    if (number < 0 || number >= DeviceUseTable::kDeviceCount) return ERR_ARGUMENT;
    if (!table.is_mapped()) return ERR_NOT_READY;
    const DeviceHolder h = table.holder(number);
    holder->in_use = h.in_use ? 1 : 0;
    holder->process_id = h.process_id;
    holder->alive = h.alive ? 1 : 0;
    holder->since = h.since;
    std::memset(holder->executable, 0, sizeof holder->executable);
    // The name of a process that is gone would be another's (or nobody's).
    if (h.alive) platform::process_executable_name(h.process_id, holder->executable, sizeof holder->executable);
    return 0;
}

}  // namespace imvela
