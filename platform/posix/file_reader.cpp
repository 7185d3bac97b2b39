#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "platform/file_reader.h"

namespace imvela::platform {

bool read_whole_file(const char* path, std::vector<uint8_t>* contents) {
    if (!path || !contents) return false;
    // Non-blocking open so that a FIFO cannot stall the caller; it is refused below.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    bool ok = false;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
        static_cast<unsigned long long>(info.st_size) <= static_cast<unsigned long long>(PTRDIFF_MAX)) {
        try {
            std::vector<uint8_t> data(static_cast<size_t>(info.st_size));
            size_t done = 0;
            while (done < data.size()) {
                const ssize_t got = read(fd, data.data() + done, data.size() - done);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) break;  // error, or the file shrank: a short read
                done += static_cast<size_t>(got);
            }
            if (done == data.size()) {
                contents->swap(data);
                ok = true;
            }
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
    }
    close(fd);
    return ok;
}

}  // namespace imvela::platform
