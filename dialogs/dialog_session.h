#pragma once
// One dialog run on a camera: the checks before it, the claim of its kind while it runs and
// the result after it, the same for the three dialogs.
#include <cstdint>

#include "camera/dialog_link.h"
#include "camera/imvela.h"
#include "platform/property_dialogs.h"

namespace imvela {

class DialogSession {
public:
    // Checks the platform and the device and claims the kind; records the error otherwise.
    DialogSession(CImvela& camera, DialogLink::Kind kind) : camera_(camera), kind_(kind) {
        if (!platform::property_dialogs_available()) {
            camera.record_error(ERR_NOT_SUPPORTED);
        } else if (!camera.device()) {
            camera.record_error(ERR_NOT_READY);
        } else if (!camera.dialogs().claim(kind)) {
            camera.record_error(ERR_NOT_READY);
        } else {
            claimed_ = true;
        }
    }
    ~DialogSession() {
        if (claimed_) camera_.dialogs().release(kind_);
    }
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    bool may_run() const { return claimed_; }
    // The export's result for how the run ended.
    int32_t result(int32_t end) const {
        if (end != platform::kDialogNotCreated) return 1;
        camera_.record_error(ERR_WINDOW);
        return 0;
    }

private:
    CImvela& camera_;
    DialogLink::Kind kind_;
    bool claimed_ = false;
};

}  // namespace imvela
