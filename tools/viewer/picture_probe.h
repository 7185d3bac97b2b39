#pragma once
// A copy of the delivered picture, taken a few times a second with Imvela_GetImage, and what
// the viewer reads from it: the histogram of each channel and the samples under the mouse,
// at the delivered bit depth (16-bit words hold 12 significant bits).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Histogram {
    static constexpr int kBins = 256;
    int channels = 0;  // 1 (gray) or 3 (red, green, blue in that order)
    int32_t sample_max = 255;  // the largest sample value a bin can hold: 255 or 4095
    std::array<std::array<uint32_t, kBins>, 3> counts{};
    uint32_t tallest = 0;  // the largest count of any bin, for scaling a drawing
};

struct PixelReadout {
    int32_t x = 0, y = 0;
    int channels = 0;
    int32_t values[3] = {};  // gray, or red, green, blue
};

class PictureProbe {
public:
    // Takes the camera's current image; false (the last copy kept) when there is none yet.
    bool take(int32_t handle, int32_t width, int32_t height, int32_t bits);
    // Makes the copy from bytes given (top row first, rows of stride bytes).
    void assign(const uint8_t* rows, int32_t width, int32_t height, int32_t bits);
    bool empty() const { return width_ == 0; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t bits() const { return bits_; }

    Histogram histogram() const;
    // The samples of the pixel at (x, y); false outside the picture.
    bool read(int32_t x, int32_t y, PixelReadout* readout) const;

    // Bytes per row of a delivered picture.
    static size_t stride(int32_t width, int32_t bits) { return (static_cast<size_t>(width) * (bits / 8) + 3) & ~size_t{3}; }

private:
    int32_t sample(const uint8_t* pixel, int index) const;

    std::vector<uint8_t> pixels_;
    int32_t width_ = 0, height_ = 0, bits_ = 0;
};

// "x 120, y 48: R 4012 G 2230 B 17", "x 3, y 9: 201".
std::string readout_text(const PixelReadout& readout);
