#pragma once

namespace imvela::platform {

// Raises the calling thread to the highest normal priority (two steps above normal) where
// the system allows it; a refusal is ignored and the thread runs on at its priority.
void raise_current_thread_priority();

}  // namespace imvela::platform
