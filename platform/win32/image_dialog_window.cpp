// The image adjustment dialog: the "Image Filter" page and, for monochrome modes, the
// "Gray Filter" page; every control changes the image-processing values at once.
#include <windows.h>

#include "platform/dialog_resources.h"
#include "platform/property_dialogs.h"
#include "platform/win32/dialog_controls.h"

namespace imvela::platform {
namespace {

// Image-processing positions the pages use besides their rows.
constexpr int32_t kBayerMode = 9, kGrayMode = 11, kAutoColorGain = 25, kOneShot1 = 26, kOneShot2 = 27,
                  kAutoGrayGain = 29;
// Control flags.
constexpr int kGrayPageFlag = 9, kWhiteBalanceFlag = 15;

class ImagePage : public SliderPage {
public:
    explicit ImagePage(ImageDialogHost& host) : host_(host) {}
    void set_partner(ImagePage* partner) { partner_ = partner; }
    // OK: the edits once more into their positions.
    void read_rows() {
        int32_t v = 0;
        for (const SliderRow& row : rows_)
            if (read_signed(window_, row.edit, &v)) host_.set_value(row.position, v);
    }
    void check_bayer(int32_t mode) {
        if (window_ && mode >= 0 && mode <= 3) CheckRadioButton(window_, IDC_BAYER_0, IDC_BAYER_3, IDC_BAYER_0 + mode);
    }
    // The checked Bayer radio, or -1.
    int32_t checked_bayer() const {
        for (int32_t mode = 0; mode <= 3; ++mode)
            if (checked(IDC_BAYER_0 + mode)) return mode;
        return -1;
    }

protected:
    int32_t value(const SliderRow& row) const override { return host_.value(row.position); }
    void store(const SliderRow& row, int32_t v) override { host_.set_value(row.position, v); }
    // Both pages carry Bayer radios: a click on either set moves the other set too, so OK
    // never reads a stale choice.
    bool bayer_clicked(int id) {
        if (id < IDC_BAYER_0 || id > IDC_BAYER_3) return false;
        host_.set_value(kBayerMode, id - IDC_BAYER_0);
        if (partner_) partner_->check_bayer(id - IDC_BAYER_0);
        return true;
    }

    ImageDialogHost& host_;
    ImagePage* partner_ = nullptr;
};

class FilterPage final : public ImagePage {
public:
    explicit FilterPage(ImageDialogHost& host) : ImagePage(host) {
        static const SliderRow kRows[] = {
            {2001, 2002, 2004, 0, -255, 255, 64, true}, {2011, 2012, 2014, 1, -127, 127, 32, true},
            {2021, 2022, 2024, 2, -360, 360, 90, true}, {2031, 2032, 2034, 3, -255, 255, 64, true},
            {2041, 2042, 2044, 4, 0, 30, 4, true},      {2051, 2052, 2054, 5, 0, 400, 32, true},
            {2061, 2062, 2063, 6, 0, 400, 32, true},    {2071, 2072, 2073, 7, 0, 400, 32, true},
            {2081, 2082, 2084, 8, 0, 200, 32, true}};
        for (SliderRow row : kRows) {
            row.enabled = host.flag(row.position);  // flags 0 to 8 belong to the rows
            rows_.push_back(row);
        }
    }
    void read_controls() {
        read_rows();
        const int32_t mode = checked_bayer();
        if (mode >= 0) host_.set_value(kBayerMode, mode);
    }

private:
    void fill() override {
        set_up_rows();
        const bool enabled = host_.flag(kWhiteBalanceFlag);
        for (int id : {IDC_ONCE, IDC_ALL_FRAMES, IDC_BAYER_0, IDC_BAYER_1, IDC_BAYER_2, IDC_BAYER_3})
            EnableWindow(GetDlgItem(window_, id), enabled);
        check(IDC_ALL_FRAMES, host_.value(kAutoColorGain) != 0 && host_.value(kOneShot1) == 0);
        check_bayer(host_.value(kBayerMode));
    }
    bool clicked(int id) override {
        if (id == IDC_ONCE) {
            for (int32_t p : {kAutoColorGain, kOneShot1, kOneShot2}) host_.set_value(p, 1);
            check(IDC_ALL_FRAMES, false);
        } else if (id == IDC_ALL_FRAMES) {
            host_.set_value(kAutoColorGain, checked(IDC_ALL_FRAMES) ? 1 : 0);
            host_.set_value(kOneShot1, 0);
            host_.set_value(kOneShot2, 0);
        } else {
            return bayer_clicked(id);
        }
        return true;
    }
};

class GrayPage final : public ImagePage {
public:
    explicit GrayPage(ImageDialogHost& host) : ImagePage(host) {
        for (int i = 0; i < 8; ++i) rows_.push_back({2100 + 3 * i, 2101 + 3 * i, 2102 + 3 * i, 12 + i, 0, 400, 32, true});
    }

private:
    void fill() override {
        set_up_rows();
        const int32_t mode = host_.value(kGrayMode);
        if (mode >= 0 && mode <= 2) CheckRadioButton(window_, IDC_GRAY_BAYER, IDC_GRAY_GRAYSCALE, IDC_GRAY_BAYER + mode);
        check(IDC_ALL_FRAMES, host_.value(kAutoGrayGain) < 0);
        check_bayer(host_.value(kBayerMode));
    }
    bool clicked(int id) override {
        if (id >= IDC_GRAY_BAYER && id <= IDC_GRAY_GRAYSCALE) {
            host_.set_value(kGrayMode, id - IDC_GRAY_BAYER);
        } else if (id == IDC_ONCE) {
            host_.set_value(kAutoGrayGain, 1);
        } else if (id == IDC_ALL_FRAMES) {
            // -1 measures every frame; the pipeline counts a positive request down.
            host_.set_value(kAutoGrayGain, host_.value(kAutoGrayGain) == 0 ? -1 : 0);
        } else {
            return bayer_clicked(id);
        }
        return true;
    }
};

class ImageDialog final : public TabbedDialog {
public:
    explicit ImageDialog(ImageDialogHost& host) : TabbedDialog(host), host_(host), filter_(host), gray_(host) {
        filter_.set_partner(&gray_);
        gray_.set_partner(&filter_);
    }

private:
    bool create_pages() override {
        insert_tab(window_, 0, L"Image Filter");
        if (!create_page(window_, dialog_template(IDD_FILTER_PAGE_EN, IDD_FILTER_PAGE_JA), SliderPage::procedure,
                         static_cast<SliderPage*>(&filter_), true))
            return false;
        pages_.push_back(&filter_);
        if (!host_.flag(kGrayPageFlag)) return true;
        insert_tab(window_, 1, L"Gray Filter");
        if (!create_page(window_, dialog_template(IDD_GRAY_PAGE_EN, IDD_GRAY_PAGE_JA), SliderPage::procedure,
                         static_cast<SliderPage*>(&gray_), false))
            return false;
        pages_.push_back(&gray_);
        return true;
    }
    void confirm() override {
        filter_.read_controls();
        if (gray_.window()) gray_.read_rows();
    }
    void restore_defaults() override { host_.restore_defaults(); }

    ImageDialogHost& host_;
    FilterPage filter_;
    GrayPage gray_;
};

}  // namespace

int32_t run_image_dialog(HWND parent, ImageDialogHost& host) {
    ImageDialog dialog(host);
    return dialog.run(parent, dialog_template(IDD_IMAGE_EN, IDD_IMAGE_JA));
}

}  // namespace imvela::platform
