// Exports of the frame pipeline's own settings: defect correction, its file, and the
// automatic exposure or gain control.
#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetConfigFilter(int32_t handle, int32_t on) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_config_filter(on); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetConfigFilter(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.config_filter(); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_LoadConfigFileA(int32_t handle, const char* path) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.load_config_file(path); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_LoadConfigFileW(int32_t handle, const IMVELA_WCHAR* path) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.load_config_file_w(path); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_SetAutoIris(int32_t handle, int32_t mode) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_auto_iris(mode); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetAutoIris(int32_t handle, int32_t* ok) {
    if (ok) *ok = 0;
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_auto_iris(ok); });
}

}  // extern "C"
