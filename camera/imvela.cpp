#include "camera/imvela.h"

#include "imaging/color_mode.h"
#include "platform/messages.h"

namespace imvela {

CImvela::CImvela() = default;

CImvela::~CImvela() = default;

int32_t CImvela::initialize(HWND notify_window) {
    notify_window_ = notify_window;
    return 1;
}

int32_t CImvela::record_error(int32_t code) {
    history_.push(code);
    if (notify_window_) platform::post_message(notify_window_, WM_CAMERA_ERROR, 0, code);
    return 1;
}

void CImvela::post_error(int32_t code) {
    // Deliberately untested for null: on Windows a null window sends it to the calling
    // thread's own queue.
    platform::post_message(notify_window_, WM_CAMERA_ERROR, 0, code);
}

int32_t CImvela::set_color_mode(int32_t bits) {
    const int32_t index = color_mode_from_bits(bits);
    if (index < 0) return (record_error(ERR_ARGUMENT), 0);
    color_mode_ = index;
    return 1;
}

int32_t CImvela::set_sub_sample(int32_t mode) {
    // Only full resolution is supported; other modes are refused without an error.
    if (mode != 0) return 0;
    sub_sample_ = mode;
    return 1;
}

int32_t CImvela::set_wait_time(int32_t milliseconds) {
    if (milliseconds < 0) return 0;
    wait_time_ = milliseconds;
    return 1;
}

}  // namespace imvela
