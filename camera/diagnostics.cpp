// The camera object's diagnostics: who holds its device, the frame delivered last and the
// counts of its stream.
#include "camera/device_holder.h"
#include "camera/imvela.h"

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

}  // namespace imvela
