// The analog gain dialog: gain, exposure, mirrors and the automatic iris, acting on the
// device while the user moves the controls.
#include <windows.h>

#include <cstdio>

#include "platform/dialog_resources.h"
#include "platform/property_dialogs.h"
#include "platform/win32/dialog_controls.h"

namespace imvela::platform {
namespace {

// Analog positions.
constexpr int32_t kGlobalGain = 0, kExposure = 5, kVerticalMirror = 6, kHorizontalMirror = 7, kAutoIris = 8;
constexpr int32_t kIrisExposure = 1, kIrisGain = 2;

class AnalogPage final : public SliderPage {
public:
    explicit AnalogPage(AnalogDialogHost& host) : host_(host) {
        const int ids[6][3] = {{IDC_GAIN_SLIDER, IDC_GAIN_EDIT, IDC_GAIN_SPIN}, {IDC_G1_SLIDER, IDC_G1_EDIT, IDC_G1_SPIN},
                               {IDC_R_SLIDER, IDC_R_EDIT, IDC_R_SPIN},          {IDC_B_SLIDER, IDC_B_EDIT, IDC_B_SPIN},
                               {IDC_G2_SLIDER, IDC_G2_EDIT, IDC_G2_SPIN},
                               {IDC_EXPOSURE_SLIDER, IDC_EXPOSURE_EDIT, IDC_EXPOSURE_SPIN}};
        for (int32_t position = 0; position < 6; ++position) {
            SliderRow row{ids[position][0], ids[position][1], ids[position][2], position, 0, 0, 0,
                          position == kGlobalGain || position == kExposure};
            host_.limits(position, &row.min, &row.max);
            row.tick = (row.max - row.min) / 8;
            rows_.push_back(row);
        }
    }
    // OK: the gain edits once more into the block.
    void read_gains() {
        int32_t v = 0;
        for (const SliderRow& row : rows_)
            if (row.position != kExposure && read_signed(window_, row.edit, &v)) host_.set_value(row.position, v);
    }

private:
    void fill() override {
        set_up_rows();
        check(IDC_MIRROR_V, host_.value(kVerticalMirror) != 0);
        check(IDC_MIRROR_H, host_.value(kHorizontalMirror) != 0);
        check(IDC_IRIS_EXPOSURE, host_.value(kAutoIris) == kIrisExposure);
        check(IDC_IRIS_GAIN, host_.value(kAutoIris) == kIrisGain);
        show_exposure_time();
    }
    int32_t value(const SliderRow& row) const override { return host_.value(row.position); }
    void store(const SliderRow& row, int32_t v) override {
        host_.set_value(row.position, v);
        if (row.position == kExposure) show_exposure_time();
    }
    bool clicked(int id) override {
        if (id == IDC_MIRROR_V) {
            host_.set_value(kVerticalMirror, checked(id) ? 1 : 0);
        } else if (id == IDC_MIRROR_H) {
            host_.set_value(kHorizontalMirror, checked(id) ? 1 : 0);
        } else if (id == IDC_IRIS_GAIN || id == IDC_IRIS_EXPOSURE) {
            // The two automatic modes exclude each other.
            const bool gain = id == IDC_IRIS_GAIN;
            if (checked(id)) check(gain ? IDC_IRIS_EXPOSURE : IDC_IRIS_GAIN, false);
            host_.set_value(kAutoIris, checked(id) ? (gain ? kIrisGain : kIrisExposure) : 0);
        } else {
            return false;
        }
        return true;
    }
    void show_exposure_time() {
        char text[64];
        std::snprintf(text, sizeof text, "=%.2fms", host_.exposure_milliseconds());
        SetDlgItemTextA(window_, IDC_EXPOSURE_TIME, text);
    }

    AnalogDialogHost& host_;
};

class AnalogDialog final : public TabbedDialog {
public:
    explicit AnalogDialog(AnalogDialogHost& host) : TabbedDialog(host), host_(host), page_(host) {}

private:
    bool create_pages() override {
        insert_tab(window_, 0, L"Analog Gain");
        if (!create_page(window_, dialog_template(IDD_ANALOG_PAGE_EN, IDD_ANALOG_PAGE_JA), SliderPage::procedure,
                         static_cast<SliderPage*>(&page_), true))
            return false;
        pages_.push_back(&page_);
        return true;
    }
    void confirm() override { page_.read_gains(); }
    void restore_defaults() override { host_.restore_defaults(); }

    AnalogDialogHost& host_;
    AnalogPage page_;
};

}  // namespace

int32_t run_analog_dialog(HWND parent, AnalogDialogHost& host) {
    AnalogDialog dialog(host);
    return dialog.run(parent, dialog_template(IDD_ANALOG_EN, IDD_ANALOG_JA));
}

}  // namespace imvela::platform
