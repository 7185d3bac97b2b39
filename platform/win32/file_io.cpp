#include <windows.h>

#include "platform/file_io.h"

namespace imvela::platform {

namespace {
FileHandle from_handle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : static_cast<FileHandle>(h); }
}  // namespace

FileHandle open_file_for_writing(const char* path) {
    if (!path) return nullptr;
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return from_handle(h);
}

bool write_file(FileHandle file, const void* data, uint32_t length) {
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(file), data, length, &written, nullptr) != 0 && written == length;
}

uint32_t file_size(FileHandle file) {
    const DWORD size = GetFileSize(static_cast<HANDLE>(file), nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

void close_file(FileHandle file) {
    if (file) CloseHandle(static_cast<HANDLE>(file));
}

}  // namespace imvela::platform
