#pragma once
// In-place delivery: the raw frame of a colour mode is demosaiced where it lies in the
// transfer ring (the ring frame), and, when nothing reads the output image, straight into the
// application's callback buffer. Such a frame leaves the output image behind: its raw frame
// stays held in the ring until the output image is needed (Imvela_GetImage, stills, a
// recording, painting, stopping) or the next frame supersedes it. The capture engine keeps
// one, under its frame lock; this class only keeps the state, the engine talks to the device.
#include <cstdint>

#include "imaging/image_buffer.h"

namespace imvela {

class InPlaceDelivery {
public:
    // Frames that go through the output image after a reader needed a frame delivered in place:
    // a reader of every frame then costs a copy per frame, not a second pipeline run.
    static constexpr int32_t kHoldoffFrames = 8;

    // Shows the raw frame where it lies in the ring; false (nothing shown) when it cannot be.
    bool show_ring_frame(uint8_t* bits, int32_t width, int32_t height, int32_t bits_per_pixel, int32_t stride) {
        raw_in_ring_ = ring_frame_.View(bits, width, height, bits_per_pixel, stride) != 0;
        return raw_in_ring_;
    }
    bool raw_in_ring() const { return raw_in_ring_; }
    CImageBuffer& ring_frame() { return ring_frame_; }
    // Forgets the ring frame after it went through the output image; true when there was one
    // (the caller gives its ring entry back).
    bool let_go_ring_frame() {
        if (!raw_in_ring_) return false;
        raw_in_ring_ = false;
        ring_frame_.Release();
        return true;
    }

    // Whether this frame must go through the output image because a reader needed it lately;
    // counts those frames down.
    bool holding_off() {
        if (holdoff_ == 0) return false;
        --holdoff_;
        return true;
    }
    void start_holdoff() { holdoff_ = kHoldoffFrames; }

    // The callback buffer as an image of the output's shape (top row first when `top_down` is
    // 0, as the demosaic then writes the rows bottom up), or null when it cannot be shown.
    CImageBuffer* view_callback_buffer(void* memory, const CImageBuffer& out, bool top_down) {
        auto* bytes = static_cast<uint8_t*>(memory);
        const bool shown = top_down ? view_.View(bytes, out.width(), out.height(), out.bits_per_pixel(), out.stride())
                                    : view_.ViewReversed(bytes, out.width(), out.height(), out.bits_per_pixel(),
                                                         out.stride());
        return shown ? &view_ : nullptr;
    }
    void release_callback_view() { view_.Release(); }

    // The frame was delivered in place: its ring frame becomes the held frame, the output image
    // is behind it.
    void hold_ring_frame() {
        raw_in_ring_ = false;
        held_frame_.View(ring_frame_.bits(), ring_frame_.width(), ring_frame_.height(), ring_frame_.bits_per_pixel(),
                         ring_frame_.stride());
        ring_frame_.Release();
        output_behind_ = true;
    }
    bool output_behind() const { return output_behind_; }
    CImageBuffer& held_frame() { return held_frame_; }
    // Forgets the held frame; true when there was one (the caller gives its ring entry back).
    bool drop_held_frame() {
        if (!output_behind_) return false;
        output_behind_ = false;
        held_frame_.Release();
        return true;
    }

private:
    CImageBuffer ring_frame_;
    bool raw_in_ring_ = false;
    CImageBuffer held_frame_;
    CImageBuffer view_;  // the callback buffer while a frame is processed into it
    bool output_behind_ = false;
    int32_t holdoff_ = 0;
};

}  // namespace imvela
