// Exports that tell what happened: the holder of a device, the frame delivered last and the
// counts of the stream.
#include <string>

#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/device_holder.h"
#include "device/device_use_table.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

extern "C" {

IMVELA_API int32_t IMVELA_CALL ImvelaDiag_GetDeviceHolder(int32_t handle, int32_t device_number,
                                                          ImvelaDeviceHolder* holder) {
    if (handle != 0)
        return with_camera(handle, 0, [&](CImvela& c) { return c.get_device_holder(device_number, holder); });
    // No handle: the table is looked at on its own, and nothing is recorded.
    try {
        imvela::DeviceUseTable table(nullptr);
        table.map();
        return imvela::describe_device_holder(table, device_number, holder) == 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

IMVELA_API int32_t IMVELA_CALL ImvelaDiag_GetFrameInfo(int32_t handle, ImvelaFrameInfo* info) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_frame_info(info); });
}

IMVELA_API int32_t IMVELA_CALL ImvelaDiag_GetStreamStats(int32_t handle, ImvelaStreamStats* stats) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_stream_stats(stats); });
}

IMVELA_API int32_t IMVELA_CALL ImvelaDiag_SelfTest(int32_t handle, int32_t parts, char* report, int32_t report_size) {
    if (handle != 0)
        return with_camera(handle, 0, [&](CImvela& c) { return c.self_test(parts, report, report_size); });
    // No handle: the pipeline alone, nothing recorded.
    if (!report || report_size < 1 || parts != IMVELA_SELFTEST_PIPELINE) return 0;
    try {
        std::string text;
        const int32_t failures = imvela::self_test(nullptr, parts, text);
        return imvela::copy_report(text, report, report_size) && failures == 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
