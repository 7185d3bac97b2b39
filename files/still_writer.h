#pragma once
// The still writer: one image buffer into a file of one of the seven still types.
#include <cstdint>

namespace imvela {

class CImageBuffer;

enum StillType : int32_t {
    kStillBitmap = 0,
    kStillRaw = 1,
    kStillJpeg100 = 2,
    kStillJpeg70 = 3,
    kStillJpeg20 = 4,
    kStillPng = 5,
    kStillTiff = 6,
};

constexpr bool is_still_type(int32_t type) { return type >= kStillBitmap && type <= kStillTiff; }

// Writes `image` (memory row 0 at the top of the stored picture) to `path` as `type`, reading
// 16-bit samples as carrying `significantBits` (12 or 10). 1 on success; 0 for an unknown type,
// an unsupported depth, a file that cannot be written or an encoder error, and then no file
// under `path` was created or changed.
int32_t write_still(const char* path, const CImageBuffer& image, int32_t type, int32_t significantBits);

}  // namespace imvela
