#include "camera_failure.h"

#include "ImvelaSdk.h"
#include "error_text.h"

int32_t recorded_cause(int32_t handle) {
    int32_t cause = 0;
    // Newest first: the last code read is the first the failing call recorded. The history
    // holds at most 20 codes.
    for (int i = 0; i < 20; ++i) {
        const int32_t code = Imvela_GetLastError(handle);
        if (code == 0) break;
        cause = code;
    }
    return cause;
}

bool device_present(int32_t handle, int32_t device) {
    char name[256];
    return Imvela_GetDeviceName(handle, device, name, sizeof name) == 1;
}

bool camera_gone(int32_t handle, int32_t device) {
    ImvelaStreamStats stats{};
    stats.size = sizeof stats;
    return (ImvelaDiag_GetStreamStats(handle, &stats) == 1 && stats.unplugs > 0) || !device_present(handle, device);
}

std::string holder_of(int32_t device) {
    ImvelaDeviceHolder holder{};
    holder.size = sizeof holder;
    if (ImvelaDiag_GetDeviceHolder(0, device, &holder) != 1 || !holder.in_use || !holder.alive) return {};
    std::string text = "held by process " + std::to_string(holder.process_id);
    if (holder.executable[0]) text += " (" + std::string(holder.executable) + ")";
    if (holder.since > 0) {
        GDateTime* since = g_date_time_new_from_unix_local(holder.since);
        gchar* when = since ? g_date_time_format(since, "%Y-%m-%d %H:%M:%S") : nullptr;
        if (when) text += std::string(" since ") + when;
        g_free(when);
        if (since) g_date_time_unref(since);
    }
    return text;
}

CameraFailure describe_camera_failure(int32_t handle, int32_t device, int32_t code, const char* doing) {
    CameraFailure f{GST_RESOURCE_ERROR_FAILED, {}};
    const std::string camera = "camera " + std::to_string(device);
    const std::string cause = describe_error(code);
    if (code == ERR_DEVICE_UNAVAILABLE && !device_present(handle, device)) {
        f.kind = GST_RESOURCE_ERROR_NOT_FOUND;
        f.text = camera + " is not attached: " + cause;
    } else if (code == ERR_DEVICE_UNAVAILABLE) {
        f.kind = GST_RESOURCE_ERROR_BUSY;
        const std::string holder = holder_of(device);
        f.text = camera + " is in use by another program" + (holder.empty() ? "" : ", " + holder) + ": " + cause;
    } else {
        if (code == ERR_CAPTURE_WINDOW || code == ERR_ARGUMENT) f.kind = GST_RESOURCE_ERROR_SETTINGS;
        if (code == ERR_TRANSFER || code == ERR_DEVICE_IO || code == ERR_TIMEOUT) f.kind = GST_RESOURCE_ERROR_READ;
        f.text = std::string(doing) + " on " + camera + " failed: " + cause;
    }
    return f;
}
