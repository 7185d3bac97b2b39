#include "files/file_buffer.h"

namespace imvela {

bool CFileBuffer::Open(const char* path) {
    Close();
    file_ = platform::open_file_for_writing(path);
    if (!file_) return false;
    size_ = platform::file_size(file_);
    return true;
}

int32_t CFileBuffer::Write(const void* data, uint32_t length) {
    if (!file_) return 0;
    if (length == 0) return 1;
    if (!data) return 0;
    return platform::write_file(file_, data, length) ? 1 : 0;
}

int32_t CFileBuffer::WriteAt(uint64_t offset, const platform::ByteSpan* pieces, int count) {
    if (!file_) return 0;
    return platform::write_file_at(file_, offset, pieces, count) ? 1 : 0;
}

int32_t CFileBuffer::SetLength(uint64_t length) {
    return file_ && platform::set_file_length(file_, length) ? 1 : 0;
}

void CFileBuffer::Close() {
    if (file_) platform::close_file(file_);
    file_ = nullptr;
    size_ = 0;
}

}  // namespace imvela
