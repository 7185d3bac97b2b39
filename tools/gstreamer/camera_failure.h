#pragma once
// The library's failures in GStreamer's terms: which resource error a code is, and a message
// that names the code and its meaning.
#include <gst/gst.h>

#include <cstdint>
#include <string>

struct CameraFailure {
    GstResourceError kind;
    std::string text;
};

// The cause a failed call recorded on `handle`: the oldest code of its history, since a failed
// capture start records its cause first and then what it gave up (ERR_NOT_READY, ERR_TRANSFER).
// Empties the history, so a call whose cause matters empties it first (0: none recorded).
int32_t recorded_cause(int32_t handle);
// Whether camera `device` is attached (the handle's enumeration).
bool device_present(int32_t handle, int32_t device);
// Whether camera `device` went away while `handle` captured from it (unplugged, or no longer
// attached).
bool camera_gone(int32_t handle, int32_t device);
// "held by process 1234 (gst-launch-1.0) since 2026-12-08 18:10:02" when a live process holds
// camera `device` for capture; empty when it is free or the holder is gone.
std::string holder_of(int32_t device);
// A failure of `doing` (e.g. "starting capture") on camera `device` with library code `code`.
CameraFailure describe_camera_failure(int32_t handle, int32_t device, int32_t code, const char* doing);
