#include "frame_targets.h"

FrameTargets::FrameTargets() {
    queues_[0] = ImvelaMsg_CreateQueue();
    queues_[1] = ImvelaMsg_CreateQueue();
}

FrameTargets::~FrameTargets() {
    ImvelaMsg_DestroyQueue(queues_[0]);
    ImvelaMsg_DestroyQueue(queues_[1]);
}

bool FrameTargets::name_target(HWND queue, void* memory, int32_t size) {
    // top_down 0: the top row first, as GStreamer lays out a picture. While capture runs, naming
    // a new target only swaps the buffer the worker writes next.
    return (hardware_trigger_ ? Imvela_Trigger(handle_, queue, memory, size, 0)
                              : Imvela_CallBackPreview(handle_, queue, memory, size, 0)) == 1;
}

bool FrameTargets::start(int32_t handle, bool hardware_trigger, void* memory, int32_t size) {
    handle_ = handle;
    hardware_trigger_ = hardware_trigger;
    ImvelaMsg m;
    for (HWND q : queues_)
        while (ImvelaMsg_Get(q, 0, &m)) {
        }
    current_ = 0;
    pending_ = Event::none;
    return name_target(queues_[current_], memory, size);
}

FrameTargets::Event FrameTargets::event_of(const ImvelaMsg& m) {
    if (m.message != WM_CAMERA_FRAME) return Event::none;
    if (m.wParam != 0) return Event::frame;
    switch (m.lParam) {
    case ERR_BUFFER: return Event::buffer_too_small;
    case ERR_TIMEOUT: return Event::stream_stopped;
    default: return Event::transfer_failed;
    }
}

// The queue of the previous target holds only words about frames that went to it (written
// before it was replaced, and already handed on) or failures reported while it was named.
FrameTargets::Event FrameTargets::drain_previous() {
    Event worst = Event::none;
    ImvelaMsg m;
    while (ImvelaMsg_Get(queues_[1 - current_], 0, &m)) {
        const Event e = event_of(m);
        if (e != Event::frame && e > worst) worst = e;
    }
    return worst;
}

FrameTargets::Event FrameTargets::wait(uint32_t slice_ms) {
    Event earlier = drain_previous();
    if (pending_ > earlier) earlier = pending_;
    pending_ = Event::none;
    if (earlier != Event::none) return earlier;
    ImvelaMsg m;
    if (!ImvelaMsg_Get(queues_[current_], slice_ms, &m)) return Event::none;
    const Event e = event_of(m);
    if (e == Event::frame) stamp_ = read_frame_stamp(handle_);
    return e;
}

bool FrameTargets::retarget(void* memory, int32_t size) {
    // Every word about the previous-but-one target was posted before the frame just taken was
    // announced, so the other queue can be emptied now and named again.
    const Event earlier = drain_previous();
    if (earlier > pending_) pending_ = earlier;
    current_ = 1 - current_;
    return name_target(queues_[current_], memory, size);
}
