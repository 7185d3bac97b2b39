#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/shared_memory.h"

struct imvela::platform::SharedSection {
    void* view;
    size_t size;
};

namespace imvela::platform {

namespace {

// One object per user, as a Windows section is per session: "/NAME.uUID".
std::string object_name(const char* name) {
    return (name[0] == '/' ? std::string(name) : "/" + std::string(name)) + ".u" +
           std::to_string(static_cast<unsigned long>(geteuid()));
}

// Only an object of this user that no one else may open is trusted with the table: another
// user could have made one under the name first.
bool is_private(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

SharedSection* map_shared_section(const char* name, size_t size) {
    if (!name || !name[0] || size == 0) return nullptr;
    try {
        const std::string object = object_name(name);
        int fd = shm_open(object.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);
        if (fd < 0 && errno == ENOENT) {
            fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST) fd = shm_open(object.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);  // lost a race
        }
        if (fd < 0) return nullptr;
        if (!is_private(fd)) {
            close(fd);
            return nullptr;
        }
        // Grow a new (or shorter) object; a concurrent opener growing it too is harmless,
        // and mapping past its end would fault on first touch.
        struct stat info;
        if (fstat(fd, &info) != 0 ||
            (static_cast<unsigned long long>(info.st_size) < size && ftruncate(fd, static_cast<off_t>(size)) != 0)) {
            close(fd);
            return nullptr;
        }
        void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        if (view == MAP_FAILED) return nullptr;
        SharedSection* section = new (std::nothrow) SharedSection{view, size};
        if (!section) munmap(view, size);
        return section;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* shared_section_view(SharedSection* section) { return section ? section->view : nullptr; }

void unmap_shared_section(SharedSection* section) {
    if (!section) return;
    munmap(section->view, section->size);
    delete section;
}

void remove_shared_section(const char* name) {
    if (!name || !name[0]) return;
    try {
        shm_unlink(object_name(name).c_str());
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace imvela::platform
