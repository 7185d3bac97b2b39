#include "files/defect_list.h"

#include <new>

#include "platform/file_reader.h"

namespace imvela {

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
