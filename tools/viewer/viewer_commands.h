#pragma once
// What a user can ask of the viewer: the command identifiers its buttons and menu send
// (WM_COMMAND on Windows) and the keys that do the same in either viewer.
#include <cstdint>

enum ViewerCommand : int32_t {
    kShowGray8 = 101,
    kShowGray16,
    kShowColor24,
    kShowColor32,
    kShowColor48,
    kShowColor64,
    kOpenCameraDialog = 111,
    kOpenImageDialog,
    kOpenAnalogDialog,
    kSaveStill = 121,
    kRecord,
    kToggleTrigger,
    kFireTrigger,
    kQuit = 131,
};

struct ViewerKey {
    char key;
    ViewerCommand command;
    const char* what;
};

// Colour modes in the order of their commands (kShowGray8 ...).
constexpr int32_t kColorModeBits[] = {8, 16, 24, 32, 48, 64};
constexpr int kColorModeCount = 6;

constexpr ViewerKey kViewerKeys[] = {
    {'1', kShowGray8, "8-bit gray"},
    {'2', kShowGray16, "16-bit gray"},
    {'3', kShowColor24, "24-bit colour"},
    {'4', kShowColor32, "32-bit colour"},
    {'5', kShowColor48, "48-bit colour"},
    {'6', kShowColor64, "64-bit colour"},
    {'c', kOpenCameraDialog, "camera dialog (video format and size)"},
    {'i', kOpenImageDialog, "image dialog (colour and tone)"},
    {'a', kOpenAnalogDialog, "analog dialog (gain and exposure)"},
    {'s', kSaveStill, "save a still"},
    {'r', kRecord, "record an AVI file"},
    {'t', kToggleTrigger, "hardware trigger on / off"},
    {'f', kFireTrigger, "fire the emulated camera's trigger"},
    {'q', kQuit, "quit"},
};

inline bool is_dialog_command(ViewerCommand c) { return c >= kOpenCameraDialog && c <= kOpenAnalogDialog; }
