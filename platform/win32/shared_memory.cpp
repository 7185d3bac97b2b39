#include <windows.h>

#include <new>

#include "platform/shared_memory.h"

struct imvela::platform::SharedSection {
    HANDLE mapping;
    void* view;
};

namespace imvela::platform {

SharedSection* map_shared_section(const char* name, size_t size) {
    if (!name || size == 0) return nullptr;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (!mapping) {
        const unsigned long long wide = size;
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(wide >> 32),
                                     static_cast<DWORD>(wide & 0xFFFFFFFFu), name);
        if (!mapping) return nullptr;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    MEMORY_BASIC_INFORMATION info;
    if (view && (VirtualQuery(view, &info, sizeof info) == 0 || info.RegionSize < size)) {
        UnmapViewOfFile(view);  // another program made a smaller section under this name
        view = nullptr;
    }
    SharedSection* section = view ? new (std::nothrow) SharedSection{mapping, view} : nullptr;
    if (!section) {
        if (view) UnmapViewOfFile(view);
        CloseHandle(mapping);
    }
    return section;
}

void* shared_section_view(SharedSection* section) { return section ? section->view : nullptr; }

void unmap_shared_section(SharedSection* section) {
    if (!section) return;
    UnmapViewOfFile(section->view);
    CloseHandle(section->mapping);
    delete section;
}

void remove_shared_section(const char*) {}

}  // namespace imvela::platform
