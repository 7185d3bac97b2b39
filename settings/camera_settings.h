#pragma once
// Per-camera settings kept in the current user's settings tree:
//   <root>\Camera_NN                video format: "Size", "Color", "SubSample", "WaitTime", "Clock"
//   <root>\Camera_NN\Size_MM        size-table entry: "TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"
//   <root>\Camera_NN\Gain           analog block
//   <root>\Camera_NN\Filter         image-processing block, positions 0 to 9
//   <root>\Camera_NN\Gray           image-processing block, positions 11 to 19
// NN is the device number ("Camera_%02d"), MM the entry number ("Size_%02d"). Every value is
// a 4-byte number. Every value is checked against its range when loaded: one outside it is
// damaged and counts as missing. Failures are silent: loads fall back to defaults or leave
// their target unchanged, saves report 0 (the camera object reports them).
#include <cstdint>
#include <string>
#include <utility>

#include "settings/capture_window.h"
#include "settings/setting_blocks.h"

namespace imvela {

class CameraSettings {
public:
    // The library's key below HKEY_CURRENT_USER.
    static constexpr const char* kDefaultRoot = "Software\\Orvane\\ImvelaM52ZKRSdk";
    // The environment variable that replaces kDefaultRoot (tests use it for a private tree).
    static constexpr const char* kRootVariable = "IMVELA_SETTINGS_ROOT";
    // The value of IMVELA_SETTINGS_ROOT when set and not empty, else kDefaultRoot.
    static std::string default_root();

    explicit CameraSettings(std::string root = default_root()) : root_(std::move(root)) {}
    const std::string& root() const { return root_; }

    // Video format, size entry: "Size" names the entry whose seven values go into `window`
    // (missing values keep their field). When the root key does not exist, writes the
    // default tree (Camera_NN with entry 00 = 1292, 1040, 1280, 1024, 0, 0, 4 and "Size" 0,
    // "Color" 2, "SubSample" 0, "WaitTime" 1, "Clock" 2) and reads nothing.
    // 1 when an entry was read, else 0 (window unchanged).
    int32_t load_size_entry(int32_t device, CaptureWindow* window) const;

    // Video format, the rest: "Color", "SubSample", "WaitTime" and "Clock" (not "Size"); missing
    // values, and a "Clock" other than 0 to 2, keep their field. 1 when Camera_NN was opened,
    // else 0.
    int32_t load_video_format(int32_t device, VideoFormat* format) const;

    // Analog group. With the key present the nine values are read through one place that
    // starts at 0, so a missing value repeats the value of the name before it. Without the
    // key: gains 0, exposure 637, mirrors as given (the device's current state), auto iris 0.
    // The exposure keeps the 16 bits the sensor holds.
    // 1, or 0 when `block` is null.
    int32_t load_analog(int32_t device, AnalogBlock* block, int32_t device_v_mirror, int32_t device_h_mirror) const;
    // 1 when every value was written; 0 when a key could not be created or a write failed.
    int32_t save_analog(int32_t device, const AnalogBlock& block) const;

    // Image-filter group, positions 0 to 9. Without the key: brightness, contrast, hue,
    // saturation, sharpness 0, colour gains 100, gamma 100, Bayer mode 3, and positions 20
    // to 28 cleared; result 0. With it: missing values keep their field; result 1.
    int32_t load_filter(int32_t device, ImageProcessingBlock* block) const;
    int32_t save_filter(int32_t device, const ImageProcessingBlock& block) const;

    // Gray group, positions 11 to 19. Without the key: mode 0, gains 128, offsets 0;
    // result 0. With it: missing values keep their field; result 1.
    int32_t load_gray(int32_t device, ImageProcessingBlock* block) const;
    int32_t save_gray(int32_t device, const ImageProcessingBlock& block) const;

    // Camera dialog: the size table (entries 00, 01, ... up to the first missing one, at
    // most 100, read over the table's present contents) and all five video-format values.
    // 1 when Camera_NN was opened; else 0 with count 0 and the rest unchanged.
    int32_t load_dialog(int32_t device, SizeTable* table, VideoFormat* format) const;
    // Writes entries 0 to count - 1, then the five video-format values; entries beyond the
    // count stay as they are. 1 when everything was written.
    int32_t save_dialog(int32_t device, const SizeTable& table, const VideoFormat& format) const;

    // Imvela_SetCaptureWindow: the first size-table entry (in table order, up to the first
    // missing one) whose "EH" and "EV" equal width and height. false when Camera_NN cannot
    // be opened or no entry matches (the caller records error 4).
    bool find_capture_window(int32_t device, int32_t width, int32_t height, CaptureWindow* found) const;

private:
    // First use: the default tree under Camera_NN, put in place whole or not at all.
    void write_first_use_tree(int32_t device, const SizeTable& table, const VideoFormat& format) const;

    std::string root_;
};

}  // namespace imvela
