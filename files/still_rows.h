#pragma once
// What the still-file writers read: a picture of `width` x `height` pixels handed over row by
// row, each row already in the sample layout the writer was asked for.
#include <cstdint>

namespace imvela {

class StillRows {
public:
    StillRows(int32_t width, int32_t height) : width_(width), height_(height) {}
    virtual ~StillRows() = default;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // Picture row y (0 = top). The row stays valid until the next call.
    virtual const uint8_t* Row(int32_t y) = 0;

private:
    int32_t width_;
    int32_t height_;
};

}  // namespace imvela
