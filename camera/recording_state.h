#pragma once
// What a camera object shares with its recording thread.
//
// The preview worker copies every finished frame into the next free slot of a ring (under the
// frame lock, as soon as the frame is done); the recording thread converts and writes the
// slots in order without any camera lock. A slow write therefore delays only the recorder, and
// frames are lost only when the ring is full.
//
// `lock` and its place among the camera's locks: docs/locks.md.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "files/avi_writer.h"
#include "imaging/image_buffer.h"

namespace imvela {

struct RecordedFrame {
    CImageBuffer image;  // the output image as the worker finished it
    uint32_t tick = 0;   // tick count when it was finished
};

// Frames the preview worker finished while a recording ran, and those of them that found the
// ring full.
struct RecordingCounts {
    uint32_t delivered = 0;
    uint32_t skipped = 0;
};

struct RecordingState {
    // 1 while a recording runs; the recording thread clears it when the recording is over.
    // Stopping clears it, wakes the thread and joins it.
    std::atomic<int32_t> active{0};

    // Guards the ring: `queued` slots from `head` on hold frames in order; the slot at `head`
    // stays the recorder's until it has been written. The ring is remade only while no
    // recording runs.
    std::mutex lock;
    std::condition_variable queued_or_stopped;
    std::unique_ptr<RecordedFrame[]> ring;
    size_t slots = 0;
    size_t head = 0;
    size_t queued = 0;
    RecordingCounts counts;

    // Made when the recording starts; the recording thread alone uses them until joined.
    uint32_t duration_ms = 0;
    CImageBuffer bgr_a, bgr_b, gray;  // the 24-bit frame is made in these
    CAviWriter writer;
    std::thread thread;
};

}  // namespace imvela
