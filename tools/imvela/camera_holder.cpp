#include "camera_holder.h"

#include <cstring>
#include <ctime>

#include "ImvelaSdk.h"

#include "command_line.h"
#include "tool_camera.h"

std::string held_camera_line(int32_t number, const CameraHolder& holder) {
    std::string line = "camera " + std::to_string(number) + " is in use by ";
    if (holder.process_id == 0) return line + "another program";
    line += "process " + std::to_string(holder.process_id);
    if (!holder.executable.empty()) line += " (" + holder.executable + ")";
    const std::time_t since = static_cast<std::time_t>(holder.since);
    const std::tm* local = holder.since > 0 ? std::localtime(&since) : nullptr;
    char clock[16];
    if (local && std::strftime(clock, sizeof clock, "%H:%M:%S", local) > 0) line += std::string(" since ") + clock;
    return line;
}

CameraHolder camera_holder(ToolCamera& camera) {
    CameraHolder holder;
    ImvelaDeviceHolder record{};
    record.size = sizeof record;
    if (ImvelaDiag_GetDeviceHolder(0, camera.number(), &record) != 1) {
        // Without the device-use table's word, a capture that the library refuses as busy tells.
        holder.held = probe_camera_use(camera) == CameraUse::held_elsewhere;
        return holder;
    }
    // A stale claim (its process gone) is taken over by the next capture: the camera is free.
    holder.held = record.in_use == 1 && record.alive == 1;
    if (!holder.held) return holder;
    holder.process_id = record.process_id;
    holder.executable.assign(record.executable, strnlen(record.executable, sizeof record.executable));
    holder.since = record.since;
    return holder;
}

int open_free_camera(const CommandLine& line, ToolCamera* camera) {
    if (!camera->open(line.camera())) return kFailed;
    const CameraHolder holder = camera_holder(*camera);
    if (!holder.held) return kSucceeded;
    return failure(held_camera_line(camera->number(), holder) +
                   "; nothing was read or changed (end that capture first, or see imvela doctor)");
}
