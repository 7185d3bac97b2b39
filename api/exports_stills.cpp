// Exports of still image saving.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SaveImage(int32_t handle, const char* path, int32_t type) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.save_image(path, type); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SaveImageW(int32_t handle, const IMVELA_WCHAR* path, int32_t type) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.save_image_w(path, type); });
}

}  // extern "C"
