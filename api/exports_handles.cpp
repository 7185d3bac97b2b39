// Exports that create and destroy handles, the version, the error history and the shared
// stub of the functions this model does not support.
#include <new>

#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_Initialize(HWND notify_window) {
    try {
        CImvela* camera = new (std::nothrow) CImvela;
        if (!camera) return 0;
        int32_t handle = 0;
        if (!imvela::register_camera(camera, &handle)) {
            delete camera;
            return 0;
        }
        // The result of initialisation is reported through the handle, not the return value.
        with_camera(handle, 0, [&](CImvela& c) { return c.initialize(notify_window); });
        return handle;
    } catch (...) {
        return 0;
    }
}

IMVELA_API int32_t IMVELA_CALL Imvela_Release(int32_t handle) {
    try {
        // Not from the camera's own worker: destruction waits for that thread. Not while a
        // property dialog of the camera runs: the dialog works on the camera object.
        const auto busy = [](CImvela& c) {
            if (c.on_worker_thread()) return 1;
            if (!c.dialogs().any_claimed()) return 0;
            c.record_error(ERR_NOT_READY);
            return 1;
        };
        if (with_camera(handle, 0, busy)) return 0;
        CImvela* camera = nullptr;
        if (!imvela::unregister_camera(handle, &camera)) return 0;
        delete camera;
        return 1;
    } catch (...) {
        return 0;
    }
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetDllVersion(void) { return IMVELA_DLL_VERSION; }

IMVELA_API int32_t IMVELA_CALL Imvela_GetLastError(int32_t handle) {
    return with_camera(handle, 0, [](CImvela& c) { return c.last_error(); });
}

// One entry point behind the seven names of unsupported functions; the caller removes
// any further arguments, so they are simply not read.
IMVELA_API int32_t IMVELA_CALL Imvela_Fpga_ReadRegister(int32_t handle, ...) {
    return with_camera(handle, 0, [](CImvela& c) {
        c.post_error(ERR_NOT_SUPPORTED);
        return 0;
    });
}

}  // extern "C"
