// The camera dialog's values: the size table and the video format as stored for the camera.
// The dialog edits the settings store; the camera takes the format when the user confirms.
#include "camera/imvela.h"
#include "dialogs/dialog_session.h"
#include "dialogs/property_dialogs.h"
#include "settings/camera_settings.h"

namespace imvela {

namespace {

class CCameraDialog final : public platform::CameraDialogHost {
public:
    CCameraDialog(int32_t device_number, const CameraSettings& settings) : device_(device_number), settings_(settings) {
        format_.size = 0;
        format_.color = 2;
        format_.sub_sample = 0;
        format_.wait_time = 1;
        format_.clock = 2;
    }

    void load() override {
        settings_.load_dialog(device_, &table_, &format_);
        // A stored entry number the table does not hold selects "Custom".
        if (format_.size < 0 || format_.size > table_.count) format_.size = table_.count;
    }
    int32_t size_count() const override { return table_.count; }
    platform::SizeFields size_entry(int32_t index) const override {
        const CaptureWindow entry = index >= 0 && index < SizeTable::kCapacity ? table_.entries[index] : CaptureWindow{};
        return {entry.total_width, entry.total_height, entry.width, entry.height, entry.h_start, entry.v_start};
    }
    platform::FormatChoice format() const override {
        return {format_.size, format_.color, format_.sub_sample, format_.wait_time, format_.clock};
    }

    int32_t store(const platform::FormatChoice& choice, const platform::SizeFields& typed) override {
        int32_t index = choice.size;
        if (index < 0 || index >= table_.count) {
            // "Custom" adds an entry, while the table has room.
            if (table_.count >= SizeTable::kCapacity) return -1;
            index = table_.count;
        }
        CaptureWindow& entry = table_.entries[index];  // "Buf" keeps its value
        entry.total_width = typed.total_h;
        entry.total_height = typed.total_v;
        entry.width = typed.effective_h;
        entry.height = typed.effective_v;
        entry.h_start = typed.start_h;
        entry.v_start = typed.start_v;
        if (index == table_.count) ++table_.count;
        format_.size = index;
        if (choice.color >= 0) format_.color = choice.color;
        format_.sub_sample = 0;  // full resolution is the only mode offered
        format_.wait_time = choice.wait_time;
        if (choice.clock >= 0) format_.clock = choice.clock;
        settings_.save_dialog(device_, table_, format_);
        return index;
    }

private:
    const int32_t device_;
    const CameraSettings& settings_;
    SizeTable table_;
    VideoFormat format_;
};

}  // namespace

int32_t show_camera_dialog(CImvela& camera, HWND parent) {
    DialogSession session(camera, DialogLink::kCameraDialog);
    if (!session.may_run()) return 0;
    // The capture stops while the format is edited and restarts afterwards, with the new
    // format after OK, as it was after Cancel.
    const int32_t mode = camera.pause_capture();
    CCameraDialog dialog(camera.device_number(), camera.settings());
    const int32_t end = platform::run_camera_dialog(parent, dialog);
    if (end == platform::kDialogOk) camera.reload_video_format();
    camera.resume_capture(mode);
    return session.result(end);
}

}  // namespace imvela
