#include <windows.h>

#include "platform/dib_surface.h"

namespace imvela::platform {

DibResult create_dib_surface(const void* bitmapInfo, void* referenceDC, DibSurface& surface, uint8_t*& bits) {
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(static_cast<HDC>(referenceDC), static_cast<const BITMAPINFO*>(bitmapInfo),
                                      DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap || !pixels) {
        if (bitmap) DeleteObject(bitmap);
        return DibResult::NoSection;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc ? SelectObject(dc, bitmap) : nullptr;
    if (!dc || !old || old == HGDI_ERROR) {
        if (dc) DeleteDC(dc);
        DeleteObject(bitmap);
        return DibResult::ContextFailed;
    }
    surface.memoryDC = dc;
    surface.bitmap = bitmap;
    surface.oldBitmap = old;
    bits = static_cast<uint8_t*>(pixels);
    return DibResult::Created;
}

void destroy_dib_surface(DibSurface& surface) {
    if (surface.memoryDC && surface.oldBitmap) SelectObject(static_cast<HDC>(surface.memoryDC), surface.oldBitmap);
    if (surface.bitmap) DeleteObject(static_cast<HBITMAP>(surface.bitmap));
    if (surface.memoryDC) DeleteDC(static_cast<HDC>(surface.memoryDC));
    surface = DibSurface{};
}

uint32_t set_dib_colors(void* memoryDC, uint32_t start, uint32_t count, const void* entries) {
    if (!memoryDC) return 0;
    return SetDIBColorTable(static_cast<HDC>(memoryDC), start, count, static_cast<const RGBQUAD*>(entries));
}

uint32_t get_dib_colors(void* memoryDC, uint32_t start, uint32_t count, void* entries) {
    if (!memoryDC) return 0;
    return GetDIBColorTable(static_cast<HDC>(memoryDC), start, count, static_cast<RGBQUAD*>(entries));
}

bool blit_surface(void* dstDC, int32_t x, int32_t y, int32_t width, int32_t height, void* srcDC, int32_t srcX,
                  int32_t srcY) {
    const bool copied =
        BitBlt(static_cast<HDC>(dstDC), x, y, width, height, static_cast<HDC>(srcDC), srcX, srcY, SRCCOPY) != 0;
    // GDI may batch the copy; callers read the section's pixels directly right after.
    GdiFlush();
    return copied;
}

}  // namespace imvela::platform
