#pragma once
// TIFF still files through libtiff: uncompressed, contiguous samples, the whole picture in
// strip 0. Encoder messages never reach the host's standard streams.
#include <cstdint>

#include "files/replacing_file.h"
#include "files/still_rows.h"

namespace imvela {

// Encodes `rows` of the given bits per pixel: 8 and 16 gray (min-is-black), 24 and 48 red,
// green, blue, 32 and 64 red, green, blue and a fourth sample; 16-bit samples little-endian.
bool write_tiff(CReplacingFile& file, StillRows& rows, int32_t bitsPerPixel);

}  // namespace imvela
