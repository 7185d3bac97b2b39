// Settings of the frame pipeline that need no device: defect correction and its list, and the
// automatic exposure or gain control.
#include <algorithm>
#include <new>
#include <utility>

#include "camera/imvela.h"
#include "platform/text_conversion.h"

namespace imvela {

int32_t CImvela::set_config_filter(int32_t on) {
    if (on != 0 && on != 1) return (record_error(ERR_ARGUMENT), 0);
    store_relaxed(defect_correction_, on);
    return 1;
}

int32_t CImvela::load_config_file(const char* path) {
    if (!path) return 0;
    // Read and index outside the lock; the pipeline then sees the old list or the new one whole.
    DefectList list;
    std::mutex unshared;
    if (!load_defect_file(path, &list, &unshared)) return 0;
    DefectList index;
    try {
        index = list;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::sort(index.begin(), index.end(), defect_position_less);
    std::lock_guard<std::mutex> guard(defect_lock_);
    defects_.swap(list);
    defect_index_.swap(index);
    return 1;
}

int32_t CImvela::load_config_file_w(const IMVELA_WCHAR* path) {
    char narrow[platform::kNarrowTextCapacity];
    if (!platform::wide_to_narrow(path, narrow, sizeof narrow)) return (record_error(ERR_FILE), 0);
    return load_config_file(narrow);
}

int32_t CImvela::set_auto_iris(int32_t mode) {
    if (mode < 0 || mode > 2) {
        post_error(ERR_ARGUMENT);
        return 0;
    }
    store_relaxed(analog_[AnalogBlock::kAutoIris], mode);
    return 1;
}

int32_t CImvela::get_auto_iris(int32_t* ok) {
    if (ok) *ok = 1;
    return load_relaxed(analog_[AnalogBlock::kAutoIris]);
}

}  // namespace imvela
