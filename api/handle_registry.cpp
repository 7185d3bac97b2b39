#include "api/handle_registry.h"

#include <cstdlib>

#include "camera/imvela.h"
#include "platform/clock.h"

namespace imvela {

namespace {
CSdkChain g_chain;  // static storage: lives exactly as long as the library is loaded
}

CSdkChain& sdk_chain() { return g_chain; }

bool register_camera(CImvela* camera, int32_t* handle) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    const uint32_t t = platform::tick_count();
    const uint32_t r = static_cast<uint32_t>(std::rand());
    const uint32_t c = static_cast<uint32_t>(g_chain.count());
    uint32_t made = t + r + c;
    // 0 is the failure result of Imvela_Initialize; a sum that wraps to 0 would hand out
    // a live camera the application cannot tell from a failure. A sum that names a live
    // camera (threads starting at the same tick draw the same rand() values where its
    // state is per thread) would make two cameras answer to one handle: step past it.
    while (made == 0 || g_chain.lookup_locked(static_cast<int32_t>(made))) ++made;
    *handle = static_cast<int32_t>(made);
    return g_chain.insert(CSDKDATA{*handle, camera});
}

CImvela* find_camera(int32_t handle) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    CSdkChain::Node* node = g_chain.lookup_locked(handle);
    return node ? node->data.camera : nullptr;
}

bool unregister_camera(int32_t handle, CImvela** camera) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    CSdkChain::Node* node = g_chain.lookup_locked(handle);
    if (!node) return false;
    *camera = node->data.camera;
    node->data.camera = nullptr;
    g_chain.remove(handle);
    return true;
}

void record_buffer_error(CImvela& camera) noexcept {
    try {
        camera.record_error(ERR_BUFFER);
    } catch (...) {
        // Not even the history could take it: the failure result is all that is left.
    }
}

}  // namespace imvela
