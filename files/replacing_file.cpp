#include "files/replacing_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace imvela {

bool CReplacingFile::Create(const char* target) {
    Discard();
    failed_ = false;
    position_ = size_ = 0;
    pending_ = 0;
    // Through symbolic links to the file they name; the new file takes the old one's
    // permission bits.
    if (!target || !platform::file_behind_links(target, target_)) return false;
    file_ = platform::create_file_beside(target_.c_str(), temporary_);
    if (!file_) return false;
    if (!platform::keep_permissions(file_, target_.c_str())) {
        Discard();
        return false;
    }
    if (!block_) block_.reset(new (std::nothrow) uint8_t[kBlockSize]);
    return true;
}

bool CReplacingFile::Flush() {
    if (pending_ == 0 || failed_) return !failed_;
    if (!platform::write_file(file_, block_.get(), static_cast<uint32_t>(pending_))) failed_ = true;
    pending_ = 0;
    return !failed_;
}

bool CReplacingFile::Write(const void* data, size_t length) {
    if (!file_ || failed_) return false;
    if (length == 0) return true;
    if (!data) return !(failed_ = true);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (block_ && pending_ + length <= kBlockSize) {
        std::memcpy(block_.get() + pending_, bytes, length);
        pending_ += length;
    } else {
        if (!Flush()) return false;
        // Large blocks go straight to the file, in pieces the platform call takes.
        for (size_t done = 0; done < length;) {
            const size_t piece = std::min<size_t>(length - done, std::numeric_limits<uint32_t>::max() / 2);
            if (!platform::write_file(file_, bytes + done, static_cast<uint32_t>(piece))) return !(failed_ = true);
            done += piece;
        }
    }
    position_ += length;
    size_ = std::max(size_, position_);
    return true;
}

bool CReplacingFile::Seek(uint64_t offset) {
    if (!file_ || failed_) return false;
    if (offset == position_) return true;
    if (!Flush()) return false;
    if (!platform::seek_file(file_, offset)) return !(failed_ = true);
    position_ = offset;
    return true;
}

bool CReplacingFile::Commit() {
    if (!file_) return false;
    const bool written = Flush();
    platform::close_file(file_);
    file_ = nullptr;
    if (written && platform::move_replacing(temporary_.c_str(), target_.c_str())) {
        temporary_.clear();
        return true;
    }
    Discard();
    return false;
}

void CReplacingFile::Discard() {
    if (file_) platform::close_file(file_);
    file_ = nullptr;
    if (!temporary_.empty()) platform::remove_file(temporary_.c_str());
    temporary_.clear();
    pending_ = 0;
}

}  // namespace imvela
