// The camera object's side of the frame pipeline: the settings each frame is processed
// with, the measurements taken back, the automatic exposure or gain control on the device,
// and the defect-pixel file.
#include <algorithm>
#include <utility>

#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "imaging/image_buffer.h"
#include "platform/text_conversion.h"
#include "platform/debug_log.h"

namespace imvela {

int32_t CImvela::set_config_filter(int32_t on) {
    if (on != 0 && on != 1) return (record_error(ERR_ARGUMENT), 0);
    store_relaxed(defect_correction_, on);
    return 1;
}

int32_t CImvela::load_config_file(const char* path) {
    if (!path) return 0;
    // Read outside any lock; the pipeline then sees the old list or the new one whole.
    DefectList list;
    std::mutex unshared;
    if (!load_defect_file(path, &list, &unshared)) {
        IMVELA_LOG(files, error, "defect file \"%s\" not loaded", path);
        return 0;
    }
    IMVELA_LOG(files, info, "defect file \"%s\": %zu pixels", path, list.size());
    return pipeline_.replace_defects(std::move(list)) ? 1 : 0;
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

namespace {

FrameBuffers frame_buffers(ImageSet& images, CImageBuffer& raw, CImageBuffer* output, int32_t color_mode) {
    FrameBuffers frame;
    frame.raw = &raw;
    frame.output = output;
    frame.colour = &images[color_mode == 0 ? kColor24 : kColor48];
    frame.work = &images[kWorkCopy];
    return frame;
}

}  // namespace

bool CImvela::process_frame(ImageSet& images, CImageBuffer& raw, CImageBuffer* output, CImageBuffer* in_place,
                            int32_t color_mode, const CaptureWindow& window) {
    FrameSettings settings;
    copy_relaxed(settings.filter, filter_);
    copy_relaxed(settings.analog, analog_);
    settings.defect_correction = load_relaxed(defect_correction_) != 0;
    if (in_place && !FramePipeline::writes_output_once(settings, color_mode)) in_place = nullptr;
    FrameBuffers buffers = frame_buffers(images, raw, in_place ? in_place : output, color_mode);
    buffers.output_foreign = in_place != nullptr;
    const int32_t factor = pipeline_.process(settings, buffers, color_mode, window);
    last_frame_settings_ = settings;
    for (int position = 0; position < ImageProcessingBlock::kCount; ++position)
        if (settings.measured & (1u << position)) store_relaxed(filter_[position], settings.filter[position]);
    if (settings.measured) dialogs_.refresh(DialogLink::kImageDialog);
    steer_exposure(factor);
    return in_place != nullptr;
}

void CImvela::reprocess_frame(ImageSet& images, CImageBuffer& raw, int32_t color_mode, const CaptureWindow& window) {
    // The measurements the frame was processed with are in the settings already; the raw
    // frame's defects were corrected where it lies.
    FrameSettings settings = last_frame_settings_;
    settings.defect_correction = false;
    settings.analog[AnalogBlock::kAutoIris] = 0;
    settings.filter[ImageProcessingBlock::kAutoColorGain] = 0;
    settings.filter[ImageProcessingBlock::kAutoGrayBalance] = 0;
    pipeline_.process(settings, frame_buffers(images, raw, images.output(color_mode), color_mode), color_mode, window);
}

void CImvela::auto_iris(CImageBuffer& raw, int32_t color_mode) {
    const int32_t mode = load_relaxed(analog_[AnalogBlock::kAutoIris]);
    if (mode == 1 || mode == 2) steer_exposure(FramePipeline::iris_factor(raw, color_mode));
}

void CImvela::steer_exposure(int32_t factor) {
    if (factor == FramePipeline::kKeepExposure) return;
    const int32_t mode = load_relaxed(analog_[AnalogBlock::kAutoIris]);
    if (mode == 2) {
        const int32_t g = std::max(device_->read_gain_index(), 4);
        int32_t gain = static_cast<int32_t>(int64_t{g} * factor / 100);
        if (factor > 100 && gain <= 4) gain = 4;
        gain = std::clamp(gain, CImvelaM61XZKRSdk::gain_min(), CImvelaM61XZKRSdk::gain_max());
        // A gain the sensor did not take is not shown as set; the next frame tries again.
        if (!device_->set_gain(gain)) return;
        for (int p : {AnalogBlock::kGlobalGain, AnalogBlock::kColorGainG1, AnalogBlock::kColorGainR,
                      AnalogBlock::kColorGainB, AnalogBlock::kColorGainG2})
            store_relaxed(analog_[p], gain);
    } else if (mode == 1) {
        int32_t e = 0;
        if (!device_->read_exposure(&e)) return;
        int32_t lines = static_cast<int32_t>((int64_t{e} * factor / 100) & 0xFFFF);
        lines = std::clamp(std::max(lines, 1), CImvelaM61XZKRSdk::exposure_min(), CImvelaM61XZKRSdk::exposure_max());
        if (!device_->set_exposure(lines)) return;
        store_relaxed(analog_[AnalogBlock::kExposure], lines);
    } else {
        return;
    }
    dialogs_.refresh(DialogLink::kAnalogDialog);
}

}  // namespace imvela
