#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/file_io.h"
#include "platform/debug_log.h"
#include "platform/system_error.h"

namespace imvela::platform {

namespace {
FileHandle from_handle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : static_cast<FileHandle>(h); }
}  // namespace

FileHandle open_file_for_writing(const char* path) {
    if (!path) return nullptr;
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        IMVELA_LOG(files, error, "\"%s\" cannot be opened for writing: %s", path, system_error_text().c_str());
    return from_handle(h);
}

bool write_file(FileHandle file, const void* data, uint32_t length) {
    DWORD written = 0;
    if (WriteFile(static_cast<HANDLE>(file), data, length, &written, nullptr) != 0 && written == length) return true;
    IMVELA_LOG(files, error, "writing %u bytes failed after %lu: %s", length, static_cast<unsigned long>(written),
               system_error_text().c_str());
    return false;
}

uint32_t file_size(FileHandle file) {
    const DWORD size = GetFileSize(static_cast<HANDLE>(file), nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

bool write_file_at(FileHandle file, uint64_t offset, const ByteSpan* pieces, int count) {
    for (int i = 0; i < count; ++i) {
        // With an offset in the OVERLAPPED record a synchronous handle writes exactly there.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (pieces[i].length > 0 && (!WriteFile(static_cast<HANDLE>(file), pieces[i].data, pieces[i].length, &written,
                                                &at) ||
                                     written != pieces[i].length))
            return false;
        offset += pieces[i].length;
    }
    return true;
}

bool set_file_length(FileHandle file, uint64_t length) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(static_cast<HANDLE>(file), to, nullptr, FILE_BEGIN) != 0 &&
           SetEndOfFile(static_cast<HANDLE>(file)) != 0;
}

void close_file(FileHandle file) {
    if (file) CloseHandle(static_cast<HANDLE>(file));
}

bool seek_file(FileHandle file, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return offset <= static_cast<uint64_t>(INT64_MAX) && SetFilePointerEx(static_cast<HANDLE>(file), to, nullptr, FILE_BEGIN) != 0;
}

FileHandle create_file_beside(const char* target, std::string& temporary) {
    static std::atomic<uint32_t> counter{0};
    if (!target || !*target) return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%lu-%u.part", static_cast<unsigned long>(GetCurrentProcessId()),
                      counter.fetch_add(1) & 0xFFFFFFu);
        temporary = std::string(target) + suffix;
        HANDLE h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    IMVELA_LOG(files, error, "no file can be made beside \"%s\": %s", target, system_error_text().c_str());
    temporary.clear();
    return nullptr;
}

bool file_behind_links(const char* path, std::string& target) {
    if (!path || !*path) return false;
    target = path;
    return true;
}

bool keep_permissions(FileHandle, const char*) { return true; }

bool move_replacing(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return true;
    IMVELA_LOG(files, error, "\"%s\" cannot replace \"%s\": %s", from, to, system_error_text().c_str());
    return false;
}

void remove_file(const char* path) { DeleteFileA(path); }

}  // namespace imvela::platform
