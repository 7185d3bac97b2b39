#include "picture_probe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ImvelaSdk.h"

namespace {
// Every pixel of a large picture is more than a histogram drawn 256 bins wide needs.
constexpr int32_t kHistogramPixels = 1 << 18;
}  // namespace

bool PictureProbe::take(int32_t handle, int32_t width, int32_t height, int32_t bits) {
    if (width <= 0 || height <= 0) return false;
    const size_t size = stride(width, bits) * static_cast<size_t>(height);
    if (pixels_.size() < size) pixels_.resize(size);
    if (Imvela_GetImage(handle, pixels_.data(), static_cast<int32_t>(size), 1) != 1) return false;
    width_ = width;
    height_ = height;
    bits_ = bits;
    return true;
}

void PictureProbe::assign(const uint8_t* rows, int32_t width, int32_t height, int32_t bits) {
    pixels_.assign(rows, rows + stride(width, bits) * static_cast<size_t>(height));
    width_ = width;
    height_ = height;
    bits_ = bits;
}

int32_t PictureProbe::sample(const uint8_t* pixel, int index) const {
    if (bits_ == 8 || bits_ == 24 || bits_ == 32) return pixel[index];
    uint16_t word;
    std::memcpy(&word, pixel + 2 * index, 2);
    return word;
}

Histogram PictureProbe::histogram() const {
    Histogram h;
    if (empty()) return h;
    const bool gray = bits_ <= 16;
    h.channels = gray ? 1 : 3;
    const bool wide = bits_ == 16 || bits_ == 48 || bits_ == 64;
    h.sample_max = wide ? 4095 : 255;
    const int shift = wide ? 4 : 0;
    const int bytes = bits_ / 8;
    const int32_t step = std::max<int32_t>(1, static_cast<int32_t>(std::max<int64_t>(1, int64_t{width_} * height_ / kHistogramPixels)));
    const size_t row_bytes = stride(width_, bits_);
    for (int32_t y = 0; y < height_; y += step) {
        const uint8_t* row = pixels_.data() + row_bytes * static_cast<size_t>(y);
        for (int32_t x = (y / step) % step; x < width_; x += step) {
            const uint8_t* p = row + static_cast<size_t>(x) * bytes;
            for (int c = 0; c < h.channels; ++c) {
                // Pixels keep blue, green, red order; the histogram shows red first.
                const int32_t v = sample(p, gray ? 0 : 2 - c) >> shift;
                ++h.counts[c][std::min(v, Histogram::kBins - 1)];
            }
        }
    }
    for (int c = 0; c < h.channels; ++c)
        for (uint32_t n : h.counts[c]) h.tallest = std::max(h.tallest, n);
    return h;
}

bool PictureProbe::read(int32_t x, int32_t y, PixelReadout* readout) const {
    if (empty() || x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    const uint8_t* p = pixels_.data() + stride(width_, bits_) * static_cast<size_t>(y) + static_cast<size_t>(x) * (bits_ / 8);
    readout->x = x;
    readout->y = y;
    readout->channels = bits_ <= 16 ? 1 : 3;
    for (int c = 0; c < readout->channels; ++c) readout->values[c] = sample(p, readout->channels == 1 ? 0 : 2 - c);
    return true;
}

std::string readout_text(const PixelReadout& r) {
    char text[96];
    if (r.channels == 1)
        std::snprintf(text, sizeof text, "x %d, y %d: %d", r.x, r.y, r.values[0]);
    else
        std::snprintf(text, sizeof text, "x %d, y %d: R %d G %d B %d", r.x, r.y, r.values[0], r.values[1], r.values[2]);
    return text;
}
