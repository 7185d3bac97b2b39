#pragma once
// The defect-pixel list of a camera and the configuration file that fills it (records in
// sensor coordinates of the full readout, before mirroring).
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "driver/defect_records.h"

namespace imvela {

using DefectList = std::vector<DefectPixel>;

// Orders positions by column, then row (the order of a sorted lookup copy of a list).
inline bool defect_position_less(const DefectPixel& a, const DefectPixel& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

// Reads the file (before taking the lock) and, under `lock`, replaces `list` with its
// records. 1 when read (an empty or sub-record file gives an empty list); 0 when the file
// cannot be opened or fully read, or memory runs out, with `list` unchanged.
int32_t load_defect_file(const char* path, DefectList* list, std::mutex* lock);

}  // namespace imvela
