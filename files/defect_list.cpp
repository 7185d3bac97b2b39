#include "files/defect_list.h"

#include <new>

#include "platform/file_reader.h"

namespace imvela {

namespace {

int32_t little_endian_int32(const uint8_t* p) {
    const uint32_t raw = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(raw);
}

}  // namespace

DefectList parse_defect_records(const uint8_t* data, size_t size) {
    DefectList list;
    if (!data) return list;
    const size_t count = size / kDefectRecordSize;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* record = data + i * kDefectRecordSize;
        list.push_back(DefectPixel{little_endian_int32(record), little_endian_int32(record + 4)});
    }
    return list;
}

int32_t load_defect_file(const char* path, DefectList* list, std::mutex* lock) {
    if (!list || !lock) return 0;
    try {
        std::vector<uint8_t> contents;
        if (!platform::read_whole_file(path, &contents)) return 0;
        DefectList loaded = parse_defect_records(contents.data(), contents.size());
        // Swap under the lock: the pipeline sees the whole old list or the whole new one,
        // and the old list is freed after the lock is released.
        {
            std::lock_guard<std::mutex> guard(*lock);
            list->swap(loaded);
        }
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace imvela
