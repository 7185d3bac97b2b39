#pragma once
// What a camera object shares with its recording thread.
#include <atomic>
#include <cstdint>
#include <thread>

#include "files/avi_writer.h"

namespace imvela {

struct RecordingState {
    // 1 while a recording runs; the recording thread loops while it is non-zero and clears it
    // when the recording is over. Stopping clears it and joins the thread.
    std::atomic<int32_t> active{0};
    // Set by the preview worker after each finished frame, taken by the recording thread.
    std::atomic<int32_t> new_frame{0};
    // Set before the thread starts; the thread alone uses them until it has been joined.
    uint32_t duration_ms = 0;
    CAviWriter writer;
    std::thread thread;
};

}  // namespace imvela
