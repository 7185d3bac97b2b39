#pragma once
// StillSaver: Imvela_SaveImage and Imvela_SaveImageW for one camera. The frame lock is held
// only while the current image is copied into a buffer kept for saving; conversion, encoding
// and writing run on that copy, so capture goes on meanwhile. Saves of one camera run one
// after another (the saver's lock); saves of different cameras may overlap.
#include <cstdint>
#include <memory>
#include <mutex>

#include "ImvelaSdk.h"

namespace imvela {

class CaptureEngine;
class CImageBuffer;

class StillSaver {
public:
    enum class Outcome {
        kSaved,
        kFailed,   // the type, the file or the encoder failed; nothing to record
        kNoImage,  // no current image (or a wide path that does not convert): ERR_NOT_READY
    };

    explicit StillSaver(CaptureEngine& engine);
    ~StillSaver();
    StillSaver(const StillSaver&) = delete;
    StillSaver& operator=(const StillSaver&) = delete;

    Outcome save(const char* path, int32_t type);
    Outcome save_w(const IMVELA_WCHAR* path, int32_t type);

private:
    bool has_current_image();
    // The current image into `path`; saver's lock held.
    Outcome save_current_image(const char* path, int32_t type);
    // Copies the current image into `copy` under the frame lock; false when `copy` did not
    // have its geometry (then sized for the next attempt) or there is no image.
    bool copy_current_image(CImageBuffer& copy);

    CaptureEngine& engine_;
    // Serialises the saves of this camera and guards the copy; taken before the frame lock.
    std::mutex lock_;
    std::unique_ptr<CImageBuffer> copy_;  // made on the first save, kept for the next ones
};

}  // namespace imvela
