#include <windows.h>

#include <cstdint>

#include "platform/process_identity.h"

namespace imvela::platform {

uint32_t current_owner_module() {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
}

bool owner_module_gone(uint32_t) { return false; }

}  // namespace imvela::platform
