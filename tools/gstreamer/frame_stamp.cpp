#include "frame_stamp.h"

#include <glib.h>

FrameStamp read_frame_stamp(int32_t handle) {
    static_cast<void>(handle);
    FrameStamp stamp;
    stamp.arrival_us = g_get_monotonic_time();
    return stamp;
}
