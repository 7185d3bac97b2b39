#pragma once
// The process-wide registry of camera handles and the call frame every export follows.
#include <cstdint>
#include <utility>

#include "api/handle_ring.h"

namespace imvela {

// The single registry, constructed when the library is loaded.
CSdkChain& sdk_chain();

// Makes a handle (tick count + rand() + entries so far) and files the camera under it;
// false when the entry could not be stored.
bool register_camera(CImvela* camera, int32_t* handle);

// The camera object registered under the handle, or null for unknown and released handles.
CImvela* find_camera(int32_t handle);

// Empties the handle's entry and unlinks it; the camera pointer it held, or null when the
// handle is unknown (the caller owns and destroys the camera).
bool unregister_camera(int32_t handle, CImvela** camera);

// Records ERR_BUFFER on the camera; never throws.
void record_buffer_error(CImvela& camera) noexcept;

// Call frame: look the handle up under the registry lock, then run the operation on the
// camera object without that lock. Unknown handles give the export's failure value and
// report nothing. No exception leaves an export; one caught from a found camera's operation
// is recorded on it as the buffer error.
template <class Operation>
auto with_camera(int32_t handle, decltype(std::declval<Operation>()(std::declval<CImvela&>())) failure,
                 Operation&& operation) noexcept -> decltype(failure) {
    CImvela* camera = nullptr;
    try {
        camera = find_camera(handle);
        if (!camera) return failure;
        return operation(*camera);
    } catch (...) {
        // Memory or a system resource ran out inside the operation.
        if (camera) record_buffer_error(*camera);
        return failure;
    }
}

}  // namespace imvela
