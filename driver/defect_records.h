#pragma once
// The defect-pixel file of a camera: a headerless sequence of 8-byte records, x then y, each a
// signed 32-bit little-endian number in sensor coordinates. A trailing partial record is
// ignored. The library's defect correction and the emulated camera read the same files.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imvela {

struct DefectPixel {
    int32_t x;
    int32_t y;
    bool operator==(const DefectPixel& o) const { return x == o.x && y == o.y; }
};

constexpr size_t kDefectRecordSize = 8;

// The records of a file's bytes, in file order.
std::vector<DefectPixel> parse_defect_records(const uint8_t* data, size_t size);

}  // namespace imvela
