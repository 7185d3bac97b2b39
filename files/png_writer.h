#pragma once
// PNG still files through libpng (with zlib): no interlacing, default compression and filters.
#include <cstdint>

#include "files/replacing_file.h"
#include "files/still_rows.h"

namespace imvela {

// Encodes `rows` of the given bits per pixel: 8 and 16 are gray, 24 and 48 blue, green, red,
// 32 and 64 blue, green, red, alpha; 16-bit samples little-endian. An encoder error prints
// "libpng error: <message>" to the standard error stream and gives false, as does a failed
// write. All state lives in the call: calls on several threads may overlap.
bool write_png(CReplacingFile& file, StillRows& rows, int32_t bitsPerPixel);

}  // namespace imvela
