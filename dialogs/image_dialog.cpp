// The image adjustment dialog's values: the camera's image-processing block, changed in
// place so the next frame shows each change; Cancel puts the block back.
#include "camera/imvela.h"
#include "camera/shared_setting.h"
#include "dialogs/dialog_session.h"
#include "dialogs/property_dialogs.h"
#include "settings/filter_values.h"

namespace imvela {

namespace {

using P = ImageProcessingBlock;

constexpr int kFlagCount = 19;
constexpr int kGrayPageFlag = 9, kWhiteBalanceFlag = 15;

class CImageDialog final : public platform::ImageDialogHost {
public:
    explicit CImageDialog(CImvela& camera) : block_(camera.filter_values()), link_(camera.dialogs()) {
        // Monochrome modes: no colour controls, and the gray page.
        const bool gray = camera.color_mode() <= 1;
        for (int flag : {0, 1, 4, 8}) flags_[flag] = true;
        for (int flag : {2, 3, 5, 6, 7, kWhiteBalanceFlag}) flags_[flag] = !gray;
        flags_[kGrayPageFlag] = gray;
    }

    int32_t value(int32_t position) const override {
        return position >= 0 && position < P::kCount ? load_relaxed(block_[position]) : 0;
    }
    void set_value(int32_t position, int32_t value) override {
        if (position >= 0 && position < P::kCount) store_relaxed(block_[position], value);
    }
    bool flag(int32_t index) const override { return index >= 0 && index < kFlagCount && flags_[index]; }

    void restore_defaults() override {
        // The stored defaults of the filter page's values and, with the gray page, of the gray
        // gains and offsets (not the gray mode).
        auto restore = [this](const FilterValueFacts& facts) {
            if (facts.position != P::kGrayMode) store_relaxed(block_[facts.position], facts.default_value);
        };
        for_each_filter_value_in(FilterValueGroup::kFilter, restore);
        if (flags_[kGrayPageFlag]) for_each_filter_value_in(FilterValueGroup::kGray, restore);
    }

    void dialog_opened(HWND window) override { link_.opened(DialogLink::kImageDialog, window); }
    void dialog_closing() override { link_.closing(DialogLink::kImageDialog); }
    void refresh_taken() override { link_.taken(DialogLink::kImageDialog); }

private:
    ImageProcessingBlock& block_;
    DialogLink& link_;
    bool flags_[kFlagCount] = {};
};

}  // namespace

int32_t show_image_dialog(CImvela& camera, HWND parent) {
    DialogSession session(camera, DialogLink::kImageDialog);
    if (!session.may_run()) return 0;
    ImageProcessingBlock saved;
    copy_relaxed(saved, camera.filter_values());
    CImageDialog dialog(camera);
    const int32_t end = platform::run_image_dialog(parent, dialog);
    if (end != platform::kDialogOk) copy_relaxed(camera.filter_values(), saved);
    return session.result(end);
}

}  // namespace imvela
