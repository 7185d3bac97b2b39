#pragma once
// FramePipeline: turns the raw frame of a capture into the delivered image. It works on a
// copy of the camera's settings taken for the frame and on buffers it is given; it needs no
// camera object and no device. Each step is skipped at its neutral setting.
#include <cstdint>
#include <mutex>

#include "files/defect_list.h"
#include "settings/capture_window.h"
#include "settings/setting_blocks.h"

namespace imvela {

class CImageBuffer;

// The buffers one frame passes through; null where the colour mode has none.
struct FrameBuffers {
    CImageBuffer* raw = nullptr;     // the sensor window, 8 or 16 bits, top row first
    CImageBuffer* output = nullptr;  // the delivered image (the raw buffer in the gray modes)
    CImageBuffer* colour = nullptr;  // demosaic target of the luminance gray mode: 24 or 48 bits
    CImageBuffer* work = nullptr;    // the untouched copy the sharpness kernel reads
    // The output is memory of the application's: the bytes of it the kernels keep (the
    // fourth sample of 32- and 64-bit pixels) are written as the library's own images hold
    // them, zero.
    bool output_foreign = false;
};

// The settings one frame is processed with. Measurements (gray balance, white balance, the
// one-shot flags they clear) are written into `filter`, and their positions marked in
// `measured`, so that the camera takes back exactly those and nothing an application set
// meanwhile is overwritten.
struct FrameSettings {
    ImageProcessingBlock filter;
    AnalogBlock analog;
    bool defect_correction = false;
    uint32_t measured = 0;  // bit n: filter position n holds a new measurement

    void set_measured(int position, int32_t value) {
        filter[position] = value;
        measured |= 1u << position;
    }
};

class FramePipeline {
public:
    // The factor in hundredths by which the automatic iris control wants the exposure (or
    // gain) changed; kKeepExposure when it is content or the frame is too small to measure.
    static constexpr int32_t kKeepExposure = 100;

    // Processes buffers.raw into buffers.output for colour-mode index 0 to 5; `window` is the
    // capture window the frame was read with (defect positions are sensor positions).
    // Returns the automatic iris factor (kKeepExposure when the control is off).
    int32_t process(FrameSettings& settings, const FrameBuffers& buffers, int32_t color_mode,
                    const CaptureWindow& window);

    // The output image is written by one pass (the demosaic of a colour mode, every
    // adjustment after it neutral): it never holds a half-processed picture.
    static bool writes_output_once(const FrameSettings& settings, int32_t color_mode);

    // The automatic iris factor of a raw frame of colour mode 0 to 5, measured in five
    // windows (read only).
    static int32_t iris_factor(CImageBuffer& raw, int32_t color_mode);

    // Replaces the defect list whole; frames see the old list or the new one, never a mix.
    // False (the old list kept) when memory runs out.
    bool replace_defects(DefectList list);

private:
    void correct_defects(CImageBuffer& raw, const FrameSettings& settings, const CaptureWindow& window);
    // Gray mode 2: the luminance of the demosaiced frame back into the raw buffer.
    void gray_from_luminance(const FrameBuffers& buffers, FrameSettings& settings, int32_t color_mode);
    // `clear_fourth`: the fourth sample of the output's 32- or 64-bit pixels is set to zero.
    void demosaic(CImageBuffer& output, CImageBuffer& raw, FrameSettings& settings, int32_t color_mode,
                  bool clear_fourth = false);
    // Whether the defect list holds a sensor position (list coordinates); defect lock held.
    bool defect_listed(int64_t x, int64_t y) const;

    // Taken by process() and replace_defects() (its place in the lock order: docs/locks.md).
    std::mutex defect_lock_;
    DefectList defects_;
    DefectList defect_index_;  // defects_ sorted by (x, y): the neighbour search's lookup
};

}  // namespace imvela
