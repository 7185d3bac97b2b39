#pragma once
// Named memory shared by the processes of one user (of the user's session on Windows).
#include <cstddef>

namespace imvela::platform {

struct SharedSection;

// Opens the section `name` and maps all of it read/write, or creates it zero-filled with
// `size` bytes when it does not exist (Windows: backed by the paging file; POSIX: shm_open
// of "/" + name + ".u" + the user id, readable and writable by that user only). An existing
// section shorter than `size` is refused on Windows and grown on POSIX; on POSIX one that
// belongs to another user or that others may open is refused. Null on failure.
SharedSection* map_shared_section(const char* name, size_t size);

// The mapped bytes; valid until the section is unmapped.
void* shared_section_view(SharedSection* section);

// Unmaps the view and closes the handles.
void unmap_shared_section(SharedSection* section);

// Removes the name so the next map creates a fresh section (POSIX shm_unlink; on Windows a
// section disappears with its last handle, so this does nothing). Used by tests.
void remove_shared_section(const char* name);

}  // namespace imvela::platform
