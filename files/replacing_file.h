#pragma once
// A file written under a temporary name beside its target and moved onto the target only
// when it is complete: a failed or abandoned write never leaves a partial file under the
// target's name, and an existing file there is replaced only by a complete one, which keeps
// its permission bits. A target that is a symbolic link is written through: the file the
// link names is replaced, the link stays. Writes are gathered in a block of memory; the first
// failing write makes every later step fail.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_io.h"

namespace imvela {

class CReplacingFile {
public:
    CReplacingFile() = default;
    ~CReplacingFile() { Discard(); }
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Starts a file for `target` (closing and discarding one begun before). false when the
    // folder cannot take a new file.
    bool Create(const char* target);
    bool Write(const void* data, size_t length);
    // Moves the write position (bytes from the start); the file grows as written.
    bool Seek(uint64_t offset);
    uint64_t Position() const { return position_; }
    uint64_t Size() const { return size_; }
    bool Failed() const { return failed_; }
    // Closes the file and moves it onto the target. false, with nothing left behind, when any
    // step failed.
    bool Commit();
    // Closes and deletes an uncommitted file.
    void Discard();

private:
    bool Flush();

    static constexpr size_t kBlockSize = 64 * 1024;
    platform::FileHandle file_ = nullptr;
    std::string target_;
    std::string temporary_;
    std::unique_ptr<uint8_t[]> block_;
    size_t pending_ = 0;     // bytes of block_ not yet written, to go at position_ - pending_
    uint64_t position_ = 0;  // logical write position
    uint64_t size_ = 0;      // logical file size
    bool failed_ = false;
};

}  // namespace imvela
