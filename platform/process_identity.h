#pragma once
// What a process writes into shared records to name itself, and whether such a name still
// stands for the process that wrote it.
#include <cstddef>
#include <cstdint>

namespace imvela::platform {

// Windows: the module handle of the process's executable. POSIX: the process id.
uint32_t current_owner_module();

// The process id, and when the process started in the system's own units (POSIX: clock
// ticks after boot; Windows: the creation time as a FILETIME); 0 when it cannot be told.
uint32_t current_process_id();
// The system's number of the calling thread (as debuggers and process viewers show it).
uint32_t current_thread_id();
uint64_t current_process_start();

// Whether the process `id` runs and, when `start` is not 0, is the one that started then
// (a later process given the same id is not). Ids of 0 or below name no process. When the
// system will not say (a process of another user on Windows), it counts as running.
bool process_is_running(int32_t id, uint64_t start);

// For records of programs that write no process identity (only the owner and the owner
// module): true only when the owner certainly no longer exists. POSIX: the module is the
// process id, gone when 0 or below or no process has it. Windows: the owner is the
// notification window, gone when it is no window any more.
bool unnamed_owner_gone(uint32_t owner, uint32_t owner_module);

// The file name (without folders, UTF-8) of the executable process `id` runs, into `name`
// (capacity bytes, terminated); false, with `name` empty, when the system will not tell
// (no such process, or one of another user). POSIX: /proc/ID/exe, else /proc/ID/comm.
bool process_executable_name(int32_t id, char* name, size_t capacity);

// The process that wrote a record without a process identity: POSIX the owner module (its
// process id), Windows the process of the owner window; 0 when it cannot be told.
int32_t unnamed_owner_process(uint32_t owner, uint32_t owner_module);

}  // namespace imvela::platform
