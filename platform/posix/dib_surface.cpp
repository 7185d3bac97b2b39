#include "platform/dib_surface.h"

namespace imvela::platform {

// No GDI here: every image buffer keeps its pixels in ordinary memory.
DibResult create_dib_surface(const void*, void*, DibSurface&, uint8_t*&) { return DibResult::NoSection; }
void destroy_dib_surface(DibSurface& surface) { surface = DibSurface{}; }
uint32_t set_dib_colors(void*, uint32_t, uint32_t, const void*) { return 0; }
uint32_t get_dib_colors(void*, uint32_t, uint32_t, void*) { return 0; }
bool blit_surface(void*, int32_t, int32_t, int32_t, int32_t, void*, int32_t, int32_t) { return false; }

}  // namespace imvela::platform
