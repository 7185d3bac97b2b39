#pragma once
// The property dialogs open on one camera, as the camera sees them. The frame pipeline asks
// an open dialog to show values that an automatic adjustment changed: asking only posts a
// message (at most one waits per dialog), so the worker never waits for the dialog's thread,
// and a dialog that is not open yet or is closing simply gets nothing.
#include <atomic>
#include <mutex>

#include "ImvelaSdk.h"

namespace imvela {

class DialogLink {
public:
    enum Kind : int { kCameraDialog = 0, kImageDialog, kAnalogDialog, kKinds };

    // One dialog of each kind per camera: false when one is open already.
    bool claim(Kind kind);
    void release(Kind kind);
    // Whether a dialog of any kind runs on the camera (from its claim to its release).
    bool any_claimed();

    // The dialog's thread: its window from when it is open until it closes; taken() when it
    // takes a refresh message, before it reads the values.
    void opened(Kind kind, HWND window);
    void closing(Kind kind);
    void taken(Kind kind) { pending_[kind].store(false); }

    // Any thread: asks the open dialog of that kind to show its values again.
    void refresh(Kind kind);

private:
    // Guards the windows and claims (its place in the lock order: docs/locks.md).
    std::mutex lock_;
    HWND windows_[kKinds] = {};
    bool claimed_[kKinds] = {};
    std::atomic<bool> pending_[kKinds] = {};
};

}  // namespace imvela
