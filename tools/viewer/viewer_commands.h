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
    kToggleHelp = 141,
    kChoosePrevious,
    kChooseNext,
    kDecrease,
    kIncrease,
    kDecreaseMore,
    kIncreaseMore,
    kZoomIn,
    kZoomOut,
    kPanLeft,
    kPanRight,
    kPanUp,
    kPanDown,
    kWholeWindow,
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
    {'z', kZoomIn, "zoom in (also the mouse wheel)"},
    {'x', kZoomOut, "zoom out"},
    {'w', kWholeWindow, "capture window back to the one at start"},
    {'h', kToggleHelp, "this help on / off"},
    {'?', kToggleHelp, "this help on / off"},
    {'q', kQuit, "quit"},
};

// Keys without a character, as either viewer names them.
enum ViewerSpecialKey : int32_t { kKeyUp = 1, kKeyDown, kKeyLeft, kKeyRight, kKeyPageUp, kKeyPageDown };

struct ViewerSpecial {
    ViewerSpecialKey key;
    bool shift;
    ViewerCommand command;
    const char* name;
    const char* what;
};

// The adjustment keys (the X11 viewer's panel) and panning.
constexpr ViewerSpecial kViewerSpecialKeys[] = {
    {kKeyUp, false, kChoosePrevious, "Up", "choose the value above"},
    {kKeyDown, false, kChooseNext, "Down", "choose the value below"},
    {kKeyLeft, false, kDecrease, "Left", "chosen value down a step"},
    {kKeyRight, false, kIncrease, "Right", "chosen value up a step"},
    {kKeyPageDown, false, kDecreaseMore, "Page Down", "chosen value down ten steps"},
    {kKeyPageUp, false, kIncreaseMore, "Page Up", "chosen value up ten steps"},
    {kKeyLeft, true, kPanLeft, "Shift+Left", "look further left (also: drag with the right button)"},
    {kKeyRight, true, kPanRight, "Shift+Right", "look further right"},
    {kKeyUp, true, kPanUp, "Shift+Up", "look further up"},
    {kKeyDown, true, kPanDown, "Shift+Down", "look further down"},
};

// What the mouse does, for the help.
constexpr const char* kViewerMouseHelp[] = {
    "mouse over the picture: position and samples in the status",
    "left button drag: a region, the capture window when let go",
    "right button drag: move a zoomed picture; wheel: zoom",
};

inline bool is_dialog_command(ViewerCommand c) { return c >= kOpenCameraDialog && c <= kOpenAnalogDialog; }
inline bool is_adjustment_command(ViewerCommand c) { return c >= kChoosePrevious && c <= kIncreaseMore; }
