#pragma once
// ImageSet: the eight image buffers of one camera, and which of them a colour mode reads the
// sensor into and delivers from.
#include <cstdint>

#include "imaging/image_buffer.h"

namespace imvela {

// The eight image buffers, in the order the camera object creates them.
enum BufferIndex : int {
    kRaw8 = 0,
    kRaw16,
    kColor24,
    kColor32,
    kColor48,
    kColor64,
    kWorkCopy,
    kDisplay,
    kBufferCount
};

class ImageSet {
public:
    CImageBuffer& operator[](BufferIndex index) { return buffers_[index]; }
    const CImageBuffer& operator[](BufferIndex index) const { return buffers_[index]; }

    // The buffer the sensor's frame is read into, and the one delivered, in colour mode
    // index `mode`; null for a mode outside 0..5.
    CImageBuffer* raw(int32_t mode);
    CImageBuffer* output(int32_t mode);
    // Creates every buffer colour mode `mode` passes a frame through at width x height (each
    // creation releases what the buffer held); false when a mode is out of range or memory
    // runs out.
    bool create_for(int32_t mode, int32_t width, int32_t height);

private:
    CImageBuffer buffers_[kBufferCount];
};

}  // namespace imvela
