#include <windows.h>

#include <new>

#include "platform/file_reader.h"

namespace imvela::platform {

bool read_whole_file(const char* path, std::vector<uint8_t>* contents) {
    if (!path || !contents) return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    LARGE_INTEGER size;
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
        size.QuadPart <= 0x7FFFFFFF) {
        try {
            std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
            DWORD got = 0;
            if (data.empty() || (ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) &&
                                 got == data.size())) {
                contents->swap(data);
                ok = true;
            }
        } catch (const std::bad_alloc&) {
        }
    }
    CloseHandle(file);
    return ok;
}

}  // namespace imvela::platform
