// The preview window. Until it can be shown, creating one fails as an unavailable window
// does, and capture runs windowless.
#include "camera/imvela.h"

namespace imvela {

int32_t CImvela::create_preview_window() { return 0; }

void CImvela::destroy_preview_window() {
    preview_window_ = nullptr;
    preview_dc_ = nullptr;
    window_class_[0] = '\0';
}

void CImvela::paint_preview() {}

bool CImvela::preview_window_ready() const { return false; }

void CImvela::create_display_buffer() {}

}  // namespace imvela
