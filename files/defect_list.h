#pragma once
// The defect-pixel list of a camera and the configuration file that fills it: a headerless
// sequence of 8-byte records, x then y, each a signed 32-bit little-endian number in sensor
// coordinates (full readout, before mirroring). A trailing partial record is ignored.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace imvela {

struct DefectPixel {
    int32_t x;
    int32_t y;
    bool operator==(const DefectPixel& o) const { return x == o.x && y == o.y; }
};

using DefectList = std::vector<DefectPixel>;

// Orders positions by column, then row (the order of a sorted lookup copy of a list).
inline bool defect_position_less(const DefectPixel& a, const DefectPixel& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

constexpr size_t kDefectRecordSize = 8;

// The records of a file's bytes, in file order.
DefectList parse_defect_records(const uint8_t* data, size_t size);

// Reads the file (before taking the lock) and, under `lock`, replaces `list` with its
// records. 1 when read (an empty or sub-record file gives an empty list); 0 when the file
// cannot be opened or fully read, or memory runs out, with `list` unchanged.
int32_t load_defect_file(const char* path, DefectList* list, std::mutex* lock);

}  // namespace imvela
