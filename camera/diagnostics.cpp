// The camera object's diagnostics: who holds its device, the frame delivered last and the
// counts of its stream.
#include <cstdio>
#include <cstring>
#include <string>

#include "camera/camera_conformance.h"
#include "camera/device_holder.h"
#include "camera/imvela.h"
#include "camera/pipeline_self_check.h"
#include "imaging/band_pool.h"
#include "imaging/kernel_variant.h"

namespace imvela {

namespace {

// The record's size field admits the first version of the record.
template <class Record>
int32_t check_record(const Record* record) {
    if (!record) return ERR_ARGUMENT;
    return record->size < static_cast<int32_t>(sizeof(Record)) ? ERR_BUFFER : 0;
}

}  // namespace

int32_t CImvela::get_device_holder(int32_t number, ImvelaDeviceHolder* holder) {
    int32_t code;
    if (use_table_.is_mapped()) {
        code = describe_device_holder(use_table_, number, holder);
    } else {
        DeviceUseTable table(this);
        table.map();
        code = describe_device_holder(table, number, holder);
    }
    return code == 0 ? 1 : (record_error(code), 0);
}

int32_t CImvela::get_frame_info(ImvelaFrameInfo* info) {
    if (const int32_t code = check_record(info)) return (record_error(code), 0);
    uint32_t sequence = 0;
    uint64_t arrival = 0;
    if (!engine_.latest_frame(&sequence, &arrival)) return (record_error(ERR_NOT_READY), 0);
    info->sequence = sequence;
    info->arrival_us = arrival;
    return 1;
}

int32_t CImvela::get_stream_stats(ImvelaStreamStats* stats) {
    if (const int32_t code = check_record(stats)) return (record_error(code), 0);
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    const int32_t size = stats->size;
    engine_.fill_statistics(*stats, recording_counts());
    stats->size = size;
    return 1;
}

int32_t self_test(CImvela* camera, int32_t parts, std::string& report) {
    char line[200];
    std::snprintf(line, sizeof line, "imvela self-check: library %08X, %d-bit, kernels %s, %d kernel threads\n",
                  static_cast<unsigned>(IMVELA_DLL_VERSION), static_cast<int>(sizeof(void*) * 8),
                  kernel_variant(newest_kernel_variant()).name, BandPool::shared().threads());
    report += line;
    int32_t failures = 0;
    if (parts & IMVELA_SELFTEST_PIPELINE) failures += check_pipeline(report);
    if ((parts & IMVELA_SELFTEST_CAMERA) && camera) failures += check_camera(*camera, report);
    std::snprintf(line, sizeof line, failures ? "%d check%s FAILED\n" : "all checks passed\n", failures,
                  failures == 1 ? "" : "s");
    report += line;
    return failures;
}

int32_t CImvela::self_test(int32_t parts, char* report, int32_t report_size) {
    if (!report || report_size < 1 || parts < 1 || parts > (IMVELA_SELFTEST_PIPELINE | IMVELA_SELFTEST_CAMERA))
        return (record_error(ERR_ARGUMENT), 0);
    if ((parts & IMVELA_SELFTEST_CAMERA) && (!device_ || capture_mode() != kIdle)) return (record_error(ERR_NOT_READY), 0);
    std::string text;
    const int32_t failures = imvela::self_test(this, parts, text);
    return copy_report(text, report, report_size) ? (failures == 0 ? 1 : 0) : (record_error(ERR_BUFFER), 0);
}

bool copy_report(const std::string& text, char* report, int32_t report_size) {
    const size_t room = static_cast<size_t>(report_size) - 1;
    const size_t n = text.size() < room ? text.size() : room;
    std::memcpy(report, text.data(), n);
    report[n] = '\0';
    return n == text.size();
}

}  // namespace imvela
