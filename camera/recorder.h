#pragma once
// Recorder: a camera's AVI recording, the state it shares with its recording thread and that
// thread. The camera object starts it (CImvela::record: preview, file, images, thread) and
// stops it with the capture.
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

class CaptureEngine;
class CaptureHost;

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

class Recorder {
public:
    // `engine`: where finished frames are copied from; `host`: where a failed file is reported.
    Recorder(CaptureEngine& engine, CaptureHost& host) : engine_(engine), host_(host) {}

    // The ring and the work images for frames like `out`; kept from the last recording when
    // the format is the same. False when memory for them cannot be had.
    bool prepare_images(const CImageBuffer& out);
    // The recording thread's body: writes the queued frames until the time is up, a write
    // fails or the recording is stopped, then finishes the file.
    void run();
    // Ends a running recording (its file is finished) and joins the recording thread.
    void stop();
    void join();
    // Of the running or last recording.
    RecordingCounts counts_now();
    // The preview worker, right after a frame is finished: copies it into the ring.
    void frame_finished();


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

private:
    // The 24-bit frame made from a copied output image.
    const uint8_t* recorded_pixels(const CImageBuffer& copy);

    CaptureEngine& engine_;
    CaptureHost& host_;
};

}  // namespace imvela
