#pragma once
// Frames written by the library straight into memory the element hands it, one target at a
// time. Each target is named together with a message queue of its own (two queues, used in
// turn), so the frame message of a target can never be mistaken for one of the next target:
// the library picks the buffer and the queue of a frame under one lock.
#include <cstdint>

#include "ImvelaSdk.h"
#include "frame_stamp.h"

class FrameTargets {
public:
    enum class Event { none, frame, transfer_failed, stream_stopped, buffer_too_small };

    FrameTargets();
    ~FrameTargets();
    FrameTargets(const FrameTargets&) = delete;
    FrameTargets& operator=(const FrameTargets&) = delete;

    // Starts capture into `memory`: streaming (Imvela_CallBackPreview), or the hardware trigger
    // (Imvela_Trigger). False when the library refused; its error history says why.
    bool start(int32_t handle, bool hardware_trigger, void* memory, int32_t size);
    // Waits at most `slice_ms` for the library's next word on the current target. After
    // Event::frame the target holds a whole frame, and stamp() tells when it came.
    Event wait(uint32_t slice_ms);
    // Names the next target. Once this returns the library never writes the previous one again.
    bool retarget(void* memory, int32_t size);
    const FrameStamp& stamp() const { return stamp_; }

private:
    Event drain_previous();
    static Event event_of(const ImvelaMsg& m);
    bool name_target(HWND queue, void* memory, int32_t size);

    HWND queues_[2] = {nullptr, nullptr};
    int current_ = 0;
    int32_t handle_ = 0;
    bool hardware_trigger_ = false;
    FrameStamp stamp_;
    Event pending_ = Event::none;  // a failure found while emptying the other queue
};
