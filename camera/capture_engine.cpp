// Capture engine: capture preparation, preview, capture, snapshot, trigger and the workers.
#include "camera/imvela.h"

namespace imvela {

int32_t CImvela::stop_preview() {
    if (!device_) return (record_error(ERR_NOT_READY), 0);
    run_state_.store(kStop);
    capture_mode_.store(kIdle);
    if (worker_.joinable()) worker_.join();
    return 1;
}

}  // namespace imvela
