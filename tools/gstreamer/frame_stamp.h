#pragma once
// When a delivered frame arrived, and its place in the camera's frame sequence.
#include <cstdint>

struct FrameStamp {
    bool has_sequence = false;  // false: the library does not say; the element counts frames itself
    uint32_t sequence = 0;      // the camera's frame number since capture started; gaps are skipped frames
    int64_t arrival_us = 0;     // monotonic clock (the one g_get_monotonic_time reads), microseconds
};

// The frame most recently delivered on `handle` (read while its message is handled).
FrameStamp read_frame_stamp(int32_t handle);
