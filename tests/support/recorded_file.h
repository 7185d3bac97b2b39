#pragma once
// Recorded files for tests: a unique name in the temporary folder, and reading it back.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/scratch_store.h"

// A file name of its own in the temporary folder; the file is removed with the object.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix = ".avi")
        : path_((std::filesystem::temp_directory_path() / (unique_test_name() + suffix)).string()) {}
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const char* c_str() const { return path_.c_str(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The whole file; empty when it cannot be read (on Windows also while a writer holds it).
inline std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A 32-bit little-endian field; 0xFFFFFFFF past the end.
inline uint32_t field32(const std::vector<uint8_t>& b, size_t at) {
    if (at + 4 > b.size()) return 0xFFFFFFFFu;
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
