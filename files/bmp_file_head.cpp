#include "files/bmp_file_head.h"

#include <cstring>

namespace imvela {
namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

size_t bmp_file_head(uint8_t (&head)[kBmpHeadCapacity], int32_t width, int32_t height, int32_t bitsPerPixel,
                     int32_t stride, const uint8_t* colors) {
    std::memset(head, 0, sizeof head);
    const bool withTable = bitsPerPixel <= 8;
    const uint32_t offset = withTable ? 1078 : 54;
    put16(head, 0x4D42);  // "BM"
    put32(head + 2, offset + static_cast<uint32_t>(height) * static_cast<uint32_t>(stride));
    put32(head + 10, offset);
    uint8_t* info = head + 14;
    put32(info, 40);
    put32(info + 4, static_cast<uint32_t>(width));
    put32(info + 8, static_cast<uint32_t>(height));
    put16(info + 12, 1);
    put16(info + 14, static_cast<uint32_t>(bitsPerPixel));
    if (withTable && colors) std::memcpy(head + 54, colors, 1024);
    return offset;
}

}  // namespace imvela
