#pragma once
// The bytes that open a BMP file: the 14-byte file header, the 40-byte information header and,
// for 8 bits per pixel, the 256-entry colour table.
#include <cstddef>
#include <cstdint>

namespace imvela {

constexpr size_t kBmpHeadCapacity = 14 + 40 + 1024;

// Fills `head` for rows of `stride` bytes (bottom row first in the file) and returns the
// number of bytes to write before them: 1078 with the colour table (bits per pixel <= 8,
// `colors` being 256 blue, green, red, reserved entries), else 54. The information header
// carries width, height, planes 1, the bit count and no compression; every other field is 0.
size_t bmp_file_head(uint8_t (&head)[kBmpHeadCapacity], int32_t width, int32_t height, int32_t bitsPerPixel,
                     int32_t stride, const uint8_t* colors);

}  // namespace imvela
