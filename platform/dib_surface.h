#pragma once
// Device-independent bitmaps with their memory device context. On Windows a DIB section
// selected into a memory DC; elsewhere there is no such thing and creation reports that the
// section could not be made, so image buffers keep their pixels in ordinary memory.
#include <cstdint>

namespace imvela::platform {

struct DibSurface {
    void* memoryDC = nullptr;   // HDC
    void* bitmap = nullptr;     // HBITMAP, the DIB section
    void* oldBitmap = nullptr;  // what the DC held before the section was selected
};

enum class DibResult {
    Created,        // surface complete, bits point at the section's pixels
    NoSection,      // the section could not be made: use ordinary memory
    ContextFailed,  // the section was made but the DC failed; everything has been released
};

// bitmapInfo: a BITMAPINFOHEADER followed by 256 RGBQUAD entries.
DibResult create_dib_surface(const void* bitmapInfo, void* referenceDC, DibSurface& surface, uint8_t*& bits);
void destroy_dib_surface(DibSurface& surface);

// Colour table of the section selected into memoryDC (entries are RGBQUADs). Return the
// number of entries set or read; 0 when there is no DC.
uint32_t set_dib_colors(void* memoryDC, uint32_t start, uint32_t count, const void* entries);
uint32_t get_dib_colors(void* memoryDC, uint32_t start, uint32_t count, void* entries);

// BitBlt SRCCOPY between two memory DCs; false on failure.
bool blit_surface(void* dstDC, int32_t x, int32_t y, int32_t width, int32_t height, void* srcDC, int32_t srcX,
                  int32_t srcY);

}  // namespace imvela::platform
