// A values file of any contents, as a key of the settings store holds it, loaded by every
// group: nothing outside a value's range reaches the camera.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "settings/camera_settings.h"
#include "platform/posix/settings_values.h"
#include "support/scratch_store.h"

namespace {

void put(const std::string& folder, const uint8_t* data, size_t size) {
    std::ofstream out(folder + "/values", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool within(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchSettings store;
    static const std::string camera = store.root_folder() + "/Camera_00";
    static const bool made = std::system(("mkdir -p '" + camera + "/Filter' '" + camera + "/Gray' '" + camera +
                                          "/Gain' '" + camera + "/Size_00'").c_str()) == 0;
    if (!made) return 0;

    imvela::platform::SettingsValueList values;
    imvela::platform::parse_settings_values(std::string(reinterpret_cast<const char*>(data), size), &values);

    for (const char* group : {"", "/Filter", "/Gray", "/Gain", "/Size_00"}) put(camera + group, data, size);
    imvela::CameraSettings settings(store.root());
    imvela::ImageProcessingBlock block;
    imvela::AnalogBlock analog;
    imvela::VideoFormat format;
    imvela::CaptureWindow window;
    settings.load_filter(0, &block);
    settings.load_gray(0, &block);
    settings.load_analog(0, &analog, 0, 0);
    settings.load_video_format(0, &format);
    settings.load_size_entry(0, &window);
    using P = imvela::ImageProcessingBlock;
    using A = imvela::AnalogBlock;
    const bool sound = within(block[P::kContrast], -127, 127) && within(block[P::kHue], -360, 360) &&
                       within(block[P::kGamma], 0, 200) && within(block[P::kBayerMode], 0, 3) &&
                       within(block[P::kGrayMode], 0, 2) && within(block[P::kGrayOffsetB], -255, 255) &&
                       within(analog[A::kExposure], 1, 32767) && within(analog[A::kHorizontalMirror], 0, 1) &&
                       within(format.color, 0, 5) && within(format.clock, 0, 2) && format.wait_time >= 0;
    FUZZ_CHECK(sound);
    return 0;
}
