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

// Call frame: look the handle up under the registry lock, then run the operation on the
// camera object without that lock. Unknown handles give the export's failure value and
// report nothing. No exception leaves an export.
template <class Operation>
auto with_camera(int32_t handle, decltype(std::declval<Operation>()(std::declval<CImvela&>())) failure,
                 Operation&& operation) noexcept -> decltype(failure) {
    try {
        CImvela* camera = find_camera(handle);
        if (!camera) return failure;
        return operation(*camera);
    } catch (...) {
        return failure;
    }
}

}  // namespace imvela
