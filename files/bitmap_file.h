#pragma once
// An image buffer written as a BMP file.
#include <cstdint>

namespace imvela {

class CImageBuffer;

// Writes the buffer's BMP headers and its rows as they lie in memory (an existing file is
// truncated). 1 when the file could be opened.
int32_t save_bmp(const CImageBuffer& image, const char* path);

}  // namespace imvela
