#pragma once
// The camera object behind one handle.
#include <cstdint>

#include "ImvelaSdk.h"
#include "api/error_history.h"

namespace imvela {

class CImvela {
public:
    CImvela();
    virtual ~CImvela();
    CImvela(const CImvela&) = delete;
    CImvela& operator=(const CImvela&) = delete;

    // Second step of Imvela_Initialize; 1 on success, 0 after recording the cause.
    int32_t initialize(HWND notify_window);

    // Records the code in the history and posts WM_CAMERA_ERROR to the notification
    // window when there is one. Always 1.
    int32_t record_error(int32_t code);
    // Posts WM_CAMERA_ERROR without recording (the few exports that only post).
    void post_error(int32_t code);
    // Imvela_GetLastError: the newest recorded code, removed; 0 when none.
    int32_t last_error() { return history_.pop(); }

    HWND notify_window() const { return notify_window_; }

    // Image format settings; they take effect at the next capture preparation.
    int32_t set_color_mode(int32_t bits);
    int32_t color_mode() const { return color_mode_; }
    int32_t set_sub_sample(int32_t mode);
    int32_t sub_sample() const { return sub_sample_; }
    int32_t set_wait_time(int32_t milliseconds);
    int32_t wait_time() const { return wait_time_; }

private:
    HWND notify_window_ = nullptr;
    int32_t color_mode_ = 0;  // index 0..5
    int32_t sub_sample_ = 0;
    int32_t wait_time_ = 10;  // pause of the preview worker before each frame, ms
    ErrorHistory history_;
};

}  // namespace imvela
