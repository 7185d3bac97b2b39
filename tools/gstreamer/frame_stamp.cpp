#include "frame_stamp.h"

#include <glib.h>

#include "ImvelaSdk.h"

FrameStamp read_frame_stamp(int32_t handle) {
    FrameStamp stamp;
    ImvelaFrameInfo info{};
    info.size = sizeof info;
    if (ImvelaDiag_GetFrameInfo(handle, &info) == 1) {
        stamp.has_sequence = true;
        stamp.sequence = info.sequence;
        stamp.arrival_us = static_cast<int64_t>(info.arrival_us);
    } else {
        // A library without the frame's own record: its arrival is now, near enough.
        Imvela_GetLastError(handle);
        stamp.arrival_us = g_get_monotonic_time();
    }
    return stamp;
}
