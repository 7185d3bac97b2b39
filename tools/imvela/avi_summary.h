#pragma once
// What a finished AVI file says about itself: frame count, size and measured rate.
#include <cstdint>
#include <string>

struct AviSummary {
    uint32_t frames = 0;  // all frames (OpenDML files: the extended header's total)
    uint32_t width = 0;
    uint32_t height = 0;
    double rate = 0;      // frames per second
    uint64_t bytes = 0;   // file size
};

// false when the file is not an AVI file with its headers written.
bool read_avi_summary(const std::string& path, AviSummary* out);
