#include "files/bitmap_file.h"

#include "files/file_buffer.h"
#include "imaging/image_buffer.h"

namespace imvela {

int32_t save_bmp(const CImageBuffer& image, const char* path) {
    CFileBuffer file;
    if (!file.Open(path)) return 0;
    uint8_t head[CImageBuffer::kBmpHeaderCapacity];
    file.Write(head, image.BmpHeader(head));
    if (image.has_pixels()) file.Write(image.bits(), static_cast<uint32_t>(image.size_bytes()));
    return 1;
}

}  // namespace imvela
