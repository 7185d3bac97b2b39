#pragma once
// JPEG still files through the libjpeg API: progressive, the given quality with baseline
// quantisation tables.
#include <cstdint>

#include "files/replacing_file.h"
#include "files/still_rows.h"

namespace imvela {

// Layout of the rows handed to the writer.
enum class JpegInput : int32_t {
    kGray8,  // one byte per pixel, stored as grayscale
    kBgr24,  // blue, green, red
    kBgrx32, // blue, green, red and a byte that is not stored
};

// Encodes every row of `rows` into `file`. false on an encoder error or a failed write; a
// fatal encoder error never leaves this function other than by its result.
bool write_jpeg(CReplacingFile& file, StillRows& rows, JpegInput input, int32_t quality);

}  // namespace imvela
