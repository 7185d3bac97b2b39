// The analog gain dialog's values: the camera's analog block, whose gain, exposure and
// mirrors reach the device as they change; Cancel puts device and block back.
#include "camera/imvela.h"
#include "camera/shared_setting.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "dialogs/dialog_session.h"
#include "dialogs/property_dialogs.h"
#include "settings/filter_values.h"

namespace imvela {

namespace {

using A = AnalogBlock;
using Device = CImvelaM61XZKRSdk;

class CAnalogDialog final : public platform::AnalogDialogHost {
public:
    explicit CAnalogDialog(CImvela& camera)
        : camera_(camera), block_(camera.analog_values()), link_(camera.dialogs()) {}

    int32_t value(int32_t position) const override {
        return position >= 0 && position < A::kCount ? load_relaxed(block_[position]) : 0;
    }
    void set_value(int32_t position, int32_t value) override {
        // The value stays as moved; a write the sensor did not take is recorded by the camera.
        if (position >= 0 && position < A::kCount) camera_.apply_analog_value(position, value);
    }
    void limits(int32_t position, int32_t* min, int32_t* max) const override {
        *min = *max = 0;
        for (FilterValueId id : {kFilterGlobalGain, kFilterExposureTime}) {
            if (filter_value_facts(id).position != position) continue;
            *min = filter_value_facts(id).minimum;
            *max = filter_value_facts(id).maximum;
        }
    }
    double exposure_milliseconds() const override { return camera_.exposure_milliseconds(value(A::kExposure)); }

    void restore_defaults() override {
        for (int p = A::kColorGainG1; p <= A::kColorGainG2; ++p) store_relaxed(block_[p], 0);
        set_value(A::kGlobalGain, filter_value_facts(kFilterGlobalGain).default_value);
        set_value(A::kExposure, filter_value_facts(kFilterExposureTime).default_value);
    }

    void dialog_opened(HWND window) override { link_.opened(DialogLink::kAnalogDialog, window); }
    void dialog_closing() override { link_.closing(DialogLink::kAnalogDialog); }
    void refresh_taken() override { link_.taken(DialogLink::kAnalogDialog); }

private:
    CImvela& camera_;
    AnalogBlock& block_;
    DialogLink& link_;
};

}  // namespace

int32_t show_analog_dialog(CImvela& camera, HWND parent) {
    DialogSession session(camera, DialogLink::kAnalogDialog);
    if (!session.may_run()) return 0;
    Device& device = *camera.device();
    AnalogBlock& block = camera.analog_values();
    // The dialog shows what the device holds now (a register it cannot read keeps the value
    // last set).
    int32_t gain = 0, exposure = 0;
    if (device.read_gain_index(&gain)) store_relaxed(block[A::kGlobalGain], gain);
    for (int p = A::kColorGainG1; p <= A::kColorGainG2; ++p) store_relaxed(block[p], 0);
    if (device.read_exposure(&exposure)) store_relaxed(block[A::kExposure], exposure);
    store_relaxed(block[A::kVerticalMirror], device.mirror_v());
    store_relaxed(block[A::kHorizontalMirror], device.mirror_h());
    // Takes the line length, so the exposure time shows from the start.
    int32_t ok = 0;
    camera.get_real_exposure_time(&ok);

    AnalogBlock saved;
    copy_relaxed(saved, block);
    const int32_t saved_bayer_mode = load_relaxed(camera.filter_values()[ImageProcessingBlock::kBayerMode]);
    CAnalogDialog dialog(camera);
    const int32_t end = platform::run_analog_dialog(parent, dialog);
    if (end != platform::kDialogOk) {
        copy_relaxed(block, saved);
        for (int p : {A::kGlobalGain, A::kExposure, A::kVerticalMirror, A::kHorizontalMirror})
            dialog.set_value(p, load_relaxed(saved[p]));
        store_relaxed(camera.filter_values()[ImageProcessingBlock::kBayerMode], saved_bayer_mode);
    }
    return session.result(end);
}

}  // namespace imvela
