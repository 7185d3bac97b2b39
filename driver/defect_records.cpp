#include "driver/defect_records.h"

namespace imvela {

namespace {

int32_t little_endian_int32(const uint8_t* p) {
    const uint32_t raw = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(raw);
}

}  // namespace

std::vector<DefectPixel> parse_defect_records(const uint8_t* data, size_t size) {
    std::vector<DefectPixel> list;
    if (!data) return list;
    const size_t count = size / kDefectRecordSize;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* record = data + i * kDefectRecordSize;
        list.push_back(DefectPixel{little_endian_int32(record), little_endian_int32(record + 4)});
    }
    return list;
}

}  // namespace imvela
