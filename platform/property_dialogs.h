#pragma once
// The modal property dialogs of a camera. The dialog windows (Windows only) read and change
// what they show through a host that the caller supplies; the host holds the values and does
// what a change means for the camera. Elsewhere there are no dialogs: every run answers
// property_dialogs_available() is false.
#include <cstdint>

#include "ImvelaSdk.h"

namespace imvela::platform {

// How a dialog run ended.
constexpr int32_t kDialogNotCreated = 0;  // the dialog (or one of its pages) could not be made
constexpr int32_t kDialogOk = 1;
constexpr int32_t kDialogCancel = 2;

// Whether this platform has the dialogs at all.
bool property_dialogs_available();

// Posted to an open dialog to show the values again that an automatic adjustment changed.
// Posted, never sent: the thread that asks never waits for the dialog's thread.
constexpr uint32_t kRefreshDialogMessage = 0x8010;

// The window an open dialog receives kRefreshDialogMessage at; hosts hand it to whoever
// asks for refreshes.
class RefreshTarget {
public:
    virtual ~RefreshTarget() = default;
    virtual void dialog_opened(HWND window) = 0;
    virtual void dialog_closing() = 0;
    // Called by the dialog's thread when it takes a refresh message, before it reads values.
    virtual void refresh_taken() = 0;
};

// One size-table entry as the camera dialog shows it.
struct SizeFields {
    int32_t total_h = 0, total_v = 0, effective_h = 0, effective_v = 0, start_h = 0, start_v = 0;
};

// The video format as the camera dialog's lists show it.
struct FormatChoice {
    int32_t size = 0;  // size-list line; equal to the entry count for "Custom"
    int32_t color = 0, sub_sample = 0, wait_time = 0, clock = 0;
};

class CameraDialogHost {
public:
    virtual ~CameraDialogHost() = default;
    // Loads what the dialog shows; afterwards format().size is at most size_count().
    virtual void load() = 0;
    virtual int32_t size_count() const = 0;
    virtual SizeFields size_entry(int32_t index) const = 0;
    virtual FormatChoice format() const = 0;
    // OK and Apply: the chosen format and the typed size go into the table (a new entry when
    // "Custom" is chosen) and are stored. The entry the size went to; kTableFull when "Custom"
    // is chosen but the table is full, kWindowOutside when the typed window does not lie on
    // the sensor (nothing stored either way).
    static constexpr int32_t kTableFull = -1, kWindowOutside = -2;
    virtual int32_t store(const FormatChoice& choice, const SizeFields& typed) = 0;
    // The sensor's columns and rows, the limits a typed window must keep.
    virtual void sensor_size(int32_t* columns, int32_t* rows) const = 0;
};

// The image adjustment dialog: values by image-processing position.
class ImageDialogHost : public RefreshTarget {
public:
    virtual int32_t value(int32_t position) const = 0;
    virtual void set_value(int32_t position, int32_t value) = 0;
    // Control flag 0 to 18 (which controls are enabled, whether the gray page exists).
    virtual bool flag(int32_t index) const = 0;
    // The Default button: the adjustments back to their neutral values.
    virtual void restore_defaults() = 0;
};

// The analog gain dialog: values by analog position; gain, exposure and mirrors act on the
// device at once.
class AnalogDialogHost : public RefreshTarget {
public:
    virtual int32_t value(int32_t position) const = 0;
    virtual void set_value(int32_t position, int32_t value) = 0;
    virtual void limits(int32_t position, int32_t* min, int32_t* max) const = 0;
    // The exposure's duration in milliseconds for the exposure in the block.
    virtual double exposure_milliseconds() const = 0;
    // The Default button: default gain and exposure, colour gains 0, on block and device.
    virtual void restore_defaults() = 0;
};

// Run the dialog modally on the calling thread, owned by `parent`.
int32_t run_camera_dialog(HWND parent, CameraDialogHost& host);
int32_t run_image_dialog(HWND parent, ImageDialogHost& host);
int32_t run_analog_dialog(HWND parent, AnalogDialogHost& host);

}  // namespace imvela::platform
