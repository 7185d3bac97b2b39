#pragma once
// What a process writes into shared records to name itself, and whether such a name still
// stands for a running process.
#include <cstdint>

namespace imvela::platform {

// Windows: the module handle of the process's executable. POSIX: the process id.
uint32_t current_owner_module();

// true only when the owner module certainly belongs to no running process (POSIX: no
// process has that id). Windows cannot tell from a module handle and always says false.
bool owner_module_gone(uint32_t owner_module);

}  // namespace imvela::platform
