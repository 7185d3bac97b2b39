#pragma once
// The library's file class: a file opened for writing (truncated if it exists, else created),
// written in whole blocks and closed. Every write is skipped when no file is open.
#include <cstdint>

#include "platform/file_io.h"

namespace imvela {

class CFileBuffer {
public:
    CFileBuffer() = default;
    ~CFileBuffer() { Close(); }
    CFileBuffer(const CFileBuffer&) = delete;
    CFileBuffer& operator=(const CFileBuffer&) = delete;

    // Opens `path` for writing; closes any file open before. False when neither truncating an
    // existing file nor creating a new one worked.
    bool Open(const char* path);
    // 1 when all bytes were written, 0 on failure or without an open file.
    int32_t Write(const void* data, uint32_t length);
    // Writes the pieces back to back from byte `offset`; 1 when all bytes were written.
    int32_t WriteAt(uint64_t offset, const platform::ByteSpan* pieces, int count);
    int32_t WriteAt(uint64_t offset, const void* data, uint32_t length) {
        const platform::ByteSpan piece{data, length};
        return WriteAt(offset, &piece, 1);
    }
    // Cuts the file to `length` bytes; 1 on success.
    int32_t SetLength(uint64_t length);
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    // Size of the file when it was opened.
    uint32_t Size() const { return size_; }

private:
    platform::FileHandle file_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace imvela
