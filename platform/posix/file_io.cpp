#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_io.h"
#include "platform/debug_log.h"
#include "platform/system_error.h"

namespace imvela::platform {

namespace {
// Descriptor d is stored as d + 1 so that descriptor 0 is not the null handle.
FileHandle from_fd(int fd) { return fd < 0 ? nullptr : reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1); }
int fd_of(FileHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }
}  // namespace

FileHandle open_file_for_writing(const char* path) {
    if (!path) return nullptr;
    int fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) IMVELA_LOG(files, error, "\"%s\" cannot be opened for writing: %s", path, system_error_text().c_str());
    return from_fd(fd);
}

bool write_file(FileHandle file, const void* data, uint32_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = write(fd_of(file), p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            IMVELA_LOG(files, error, "writing %u bytes failed: %s", length, system_error_text().c_str());
            return false;
        }
        p += n;
        length -= static_cast<uint32_t>(n);
    }
    return true;
}

uint32_t file_size(FileHandle file) {
    struct stat st {};
    if (fstat(fd_of(file), &st) != 0 || st.st_size < 0) return 0;
    return st.st_size > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(st.st_size);
}

bool write_file_at(FileHandle file, uint64_t offset, const ByteSpan* pieces, int count) {
    constexpr int kMaxPieces = 8;
    if (count < 0 || count > kMaxPieces) return false;
    iovec io[kMaxPieces];
    int used = 0;
    for (int i = 0; i < count; ++i)
        if (pieces[i].length > 0) io[used++] = iovec{const_cast<void*>(pieces[i].data), pieces[i].length};
    iovec* next = io;
    while (used > 0) {
        const ssize_t n = pwritev(fd_of(file), next, used, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        offset += static_cast<uint64_t>(n);
        // Skip what was written; a piece written in part continues from where it stopped.
        for (size_t left = static_cast<size_t>(n); left > 0;) {
            if (left >= next->iov_len) {
                left -= next->iov_len;
                ++next;
                --used;
            } else {
                next->iov_base = static_cast<uint8_t*>(next->iov_base) + left;
                next->iov_len -= left;
                left = 0;
            }
        }
    }
    return true;
}

bool set_file_length(FileHandle file, uint64_t length) {
    int r;
    do r = ftruncate(fd_of(file), static_cast<off_t>(length));
    while (r != 0 && errno == EINTR);
    return r == 0;
}

void close_file(FileHandle file) {
    if (file) close(fd_of(file));
}

bool seek_file(FileHandle file, uint64_t offset) {
    return offset <= static_cast<uint64_t>(INT64_MAX) && lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

FileHandle create_file_beside(const char* target, std::string& temporary) {
    static std::atomic<uint32_t> counter{0};
    if (!target || !*target) return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld-%u.part", static_cast<long>(getpid()), counter.fetch_add(1) & 0xFFFFFFu);
        temporary = std::string(target) + suffix;
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return from_fd(fd);
        if (errno != EEXIST) break;
    }
    IMVELA_LOG(files, error, "no file can be made beside \"%s\": %s", target, system_error_text().c_str());
    temporary.clear();
    return nullptr;
}

bool file_behind_links(const char* path, std::string& target) {
    if (!path || !*path) return false;
    target = path;
    // As many links as the system itself follows in one name.
    for (int links = 0; links < 40; ++links) {
        char next[4096];
        const ssize_t n = readlink(target.c_str(), next, sizeof next);
        if (n < 0) return errno == EINVAL || errno == ENOENT;  // no link (or nothing) there
        if (static_cast<size_t>(n) >= sizeof next) return false;
        const std::string link(next, static_cast<size_t>(n));
        // A relative link counts from the folder that holds it.
        const size_t slash = target.rfind('/');
        target = link[0] == '/' || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
    return false;
}

bool keep_permissions(FileHandle file, const char* existing) {
    struct stat st {};
    if (!existing || stat(existing, &st) != 0) return true;
    return fchmod(fd_of(file), st.st_mode & 07777) == 0;
}

bool move_replacing(const char* from, const char* to) {
    if (rename(from, to) == 0) return true;
    IMVELA_LOG(files, error, "\"%s\" cannot replace \"%s\": %s", from, to, system_error_text().c_str());
    return false;
}

void remove_file(const char* path) { unlink(path); }

}  // namespace imvela::platform
