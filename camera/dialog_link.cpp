#include "camera/dialog_link.h"

#include "platform/messages.h"
#include "platform/property_dialogs.h"

namespace imvela {

bool DialogLink::claim(Kind kind) {
    std::lock_guard<std::mutex> guard(lock_);
    if (claimed_[kind]) return false;
    claimed_[kind] = true;
    return true;
}

void DialogLink::release(Kind kind) {
    std::lock_guard<std::mutex> guard(lock_);
    claimed_[kind] = false;
    windows_[kind] = nullptr;
}

bool DialogLink::any_claimed() {
    std::lock_guard<std::mutex> guard(lock_);
    for (bool claimed : claimed_)
        if (claimed) return true;
    return false;
}

void DialogLink::opened(Kind kind, HWND window) {
    std::lock_guard<std::mutex> guard(lock_);
    pending_[kind].store(false);
    windows_[kind] = window;
}

void DialogLink::closing(Kind kind) {
    std::lock_guard<std::mutex> guard(lock_);
    windows_[kind] = nullptr;
}

void DialogLink::refresh(Kind kind) {
    std::lock_guard<std::mutex> guard(lock_);
    // Under the lock the window cannot close in between: closing() waits for it.
    if (windows_[kind] && !pending_[kind].exchange(true))
        platform::post_message(windows_[kind], platform::kRefreshDialogMessage, 0, 0);
}

}  // namespace imvela
