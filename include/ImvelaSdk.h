/*
 * ImvelaSdk.h - public interface of the M52-ZKR camera library.
 *
 * Windows: ImvelaSdk_M52_ZKR.dll (32-bit, and 64-bit beside it; cdecl, undecorated names).
 * Linux:   libImvelaSdk_M52_ZKR.so with the same functions and results; windows are
 *          message queues there (ImvelaMsg_*), see below.
 *
 * Every function except Imvela_GetDllVersion takes the camera handle returned by
 * Imvela_Initialize as its first argument. Results are 1 (or a value) on success and
 * 0 on failure (-1 for Imvela_GetColorMode, Imvela_GetSubSample, Imvela_GetWaitTime on
 * an unknown handle); Imvela_GetLastError returns the cause.
 *
 * Threads
 * - Every function may be called from any thread. On one handle, the capture calls
 *   (Imvela_Preview, _CallBackPreview, _StartPreview, _StopPreview, _Capture, _SnapShot,
 *   _Trigger, _Close, _GetRealExposureTime), Imvela_SetDeviceNumber and the capture-window
 *   setters (_SetCaptureWindow, _SetCaptureWindowEx) are serialised: one waits for another.
 *   Setters of image and analog values, getters and Imvela_GetImage run beside them and
 *   beside the frames; a value set while frames arrive applies from a following frame.
 * - Frames are announced by posted messages, never by calls into the application: the
 *   handler of WM_CAMERA_FRAME runs on the thread that reads the window's messages and may
 *   call any function of the library, Imvela_StopPreview and Imvela_Close included.
 * - The buffer given to Imvela_CallBackPreview or Imvela_Trigger is written for every frame
 *   from the call until Imvela_StopPreview, Imvela_Close or Imvela_Release returns, or until
 *   another Imvela_CallBackPreview or Imvela_Trigger names a new buffer. The frame record
 *   that wParam of WM_CAMERA_FRAME points to lives as long as the handle; its fields are
 *   rewritten for each frame, so read it while handling the message.
 * - Imvela_Release must not run while another call on the same handle runs or may start;
 *   it stops capture, closes the window and frees the camera object. While a property
 *   dialog of the camera is open, on any thread, it fails at once with ERR_NOT_READY and
 *   leaves the handle and the dialog as they are: close the dialog, then release.
 * - Errors are recorded (kept for Imvela_GetLastError and posted as WM_CAMERA_ERROR) by
 *   every function, except these, which only post: Imvela_SetMirrorV and _GetMirrorV on a
 *   handle without a device; Imvela_ReadSromID, _WriteSromID, _GetIOPort, _SetIOPort and
 *   _SetAutoIris; the functions this model does not support (code 11).
 */
#ifndef IMVELA_SDK_H
#define IMVELA_SDK_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(IMVELA_SDK_INTERNAL)
     /* the library's portable code sees only the opaque handle type */
     struct HWND__;
     typedef struct HWND__* HWND;
#    define IMVELA_API
#  else
#    include <windows.h>
#    define IMVELA_API __declspec(dllimport)
#  endif
#  define IMVELA_CALL __cdecl
   typedef wchar_t IMVELA_WCHAR;
#else
   /* a window is a message queue made by ImvelaMsg_CreateQueue */
   typedef struct ImvelaMsgQueue_* HWND;
#  define IMVELA_API __attribute__((visibility("default")))
#  define IMVELA_CALL
#  if defined(__cplusplus)
     typedef char16_t IMVELA_WCHAR; /* UTF-16 code unit */
#  else
     typedef uint16_t IMVELA_WCHAR; /* UTF-16 code unit */
#  endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Library version returned by Imvela_GetDllVersion. */
#define IMVELA_DLL_VERSION 0x01B4051F

/* Error codes (Imvela_GetLastError, lParam of WM_CAMERA_ERROR). Code 10 is not used. */
#define ERR_NOT_READY          1  /* no device behind the handle, or not allowed in this capture state */
#define ERR_DEVICE_UNAVAILABLE 2  /* device number not present, or the device is in use */
#define ERR_THREAD             3  /* an event or worker thread could not be created */
#define ERR_WINDOW             4  /* preview window not created, or stored capture window not found */
#define ERR_BUFFER             5  /* image buffer not made, or caller's buffer or record too small */
#define ERR_DEVICE_IO          6  /* a device request failed */
#define ERR_CAPTURE_WINDOW     7  /* capture window outside the sensor or unsupported sub-sampling */
#define ERR_TRANSFER           8  /* a frame could not be transferred */
#define ERR_ARGUMENT           9  /* argument out of range, unknown or null */
#define ERR_NOT_SUPPORTED     11  /* not available on this camera model */
#define ERR_FILE              12  /* file name not converted, recording not started, or settings not saved
                                     (Imvela_SetDeviceNumber, Imvela_Release: posted, the call goes on) */
#define ERR_TIMEOUT           13  /* the frame stream stopped */

/* Messages posted to the application's windows (application message base 0x8000). */
#define WM_CAMERA_FRAME 0x8002 /* wParam: ImvelaFrameRecord*, or 0; lParam: 0 or error 5, 8, 13 */
#define WM_CAMERA_ERROR 0x8003 /* wParam: 0; lParam: error code */

/* Filled before each WM_CAMERA_FRAME; overwritten by the next frame. */
typedef struct ImvelaFrameRecord {
    int32_t size;       /* sizeof(ImvelaFrameRecord): 24 in the 32-bit DLL, 32 in 64-bit builds */
    int32_t width;      /* pixels */
    int32_t height;     /* pixels */
    int32_t bit_count;  /* 8, 16, 24, 32, 48 or 64 */
    int32_t frame_rate; /* tenths of a frame per second; 0 from the trigger worker */
    void*   buffer;     /* the caller's buffer the frame was copied into, or NULL */
} ImvelaFrameRecord;

/* Imvela_GetCameraInfo: set size (at least 36) before the call. */
typedef struct ImvelaCameraInfo {
    int32_t size;
    int32_t total_width;
    int32_t total_height;
    int32_t gain_min;
    int32_t gain_max;
    int32_t reserved1;
    int32_t reserved2;
    int32_t exposure_min; /* lines */
    int32_t exposure_max; /* lines */
} ImvelaCameraInfo;

/* Handles and version */
IMVELA_API int32_t IMVELA_CALL Imvela_Initialize(HWND notify_window);
IMVELA_API int32_t IMVELA_CALL Imvela_Release(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_GetDllVersion(void);
IMVELA_API int32_t IMVELA_CALL Imvela_GetLastError(int32_t handle);

/* Devices */
IMVELA_API int32_t IMVELA_CALL Imvela_EnumDevice(int32_t handle, char names[][256]);
IMVELA_API int32_t IMVELA_CALL Imvela_EnumDeviceW(int32_t handle, IMVELA_WCHAR names[][256]);
IMVELA_API int32_t IMVELA_CALL Imvela_GetDeviceName(int32_t handle, int32_t number, char* buffer, int32_t length);
IMVELA_API int32_t IMVELA_CALL Imvela_GetDeviceNameW(int32_t handle, int32_t number, IMVELA_WCHAR* buffer, int32_t length);
IMVELA_API int32_t IMVELA_CALL Imvela_SetDeviceNumber(int32_t handle, int32_t number);
IMVELA_API int32_t IMVELA_CALL Imvela_GetCameraInfo(int32_t handle, ImvelaCameraInfo* info);

/* Capture
 * Stopping (Imvela_StopPreview, Imvela_Close, Imvela_Release) returns within a second
 * whatever the driver is doing: a transfer still pending (a stalled camera, a read waiting
 * for its trigger) is cancelled, and the wait between frames ends at once.
 *
 * Frame handlers: WM_CAMERA_FRAME and WM_CAMERA_ERROR are posted, so the application
 * handles them on its own thread, never on the library's worker. Every function may be
 * called from a handler, among them Imvela_GetImage, Imvela_StopPreview, a new
 * Imvela_Trigger or Imvela_CallBackPreview (stop and re-arm), Imvela_Close and
 * Imvela_Release. A call made on the camera's own worker thread that would have to wait
 * for that worker (Imvela_StopPreview, Imvela_Close, Imvela_Release) fails at once with
 * ERR_NOT_READY.
 *
 * Delivery: a streamed colour frame (24, 32, 48 or 64 bits) whose adjustments (hue,
 * saturation, gamma, contrast, sharpness, brightness) are all neutral is demosaiced straight
 * into the callback buffer (in either row order, the fourth sample of 32- and 64-bit pixels
 * written as 0 as in every delivered image) when the buffer holds stride x height bytes and
 * the rows need no padding (width x bytes per pixel a multiple of 4): no copy follows.
 * Imvela_GetImage, still saving and a recording read the same bytes as ever (the library
 * derives its own image from the held raw frame when one of them asks). Otherwise each frame
 * is processed into the library's image and copied.
 *
 * Trigger mode: a failed or short transfer is never delivered as a frame; it posts
 * WM_CAMERA_FRAME (0, 8) to the callback window and records error 8, and trigger mode goes
 * on (the next trigger delivers). No trigger within the driver's timeout is no error. A
 * camera that is gone posts (0, 13) and records 13 and the worker ends, as a stopped
 * preview stream does; Imvela_StopPreview and a new Imvela_Trigger start over once the
 * camera is back. */
IMVELA_API int32_t IMVELA_CALL Imvela_Preview(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_CallBackPreview(int32_t handle, HWND callback_window, void* buffer, int32_t size, int32_t top_down);
IMVELA_API int32_t IMVELA_CALL Imvela_StartPreview(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_StopPreview(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_Capture(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_SnapShot(int32_t handle, void* buffer, int32_t size, int32_t top_down);
IMVELA_API int32_t IMVELA_CALL Imvela_Trigger(int32_t handle, HWND callback_window, void* buffer, int32_t size, int32_t top_down);
IMVELA_API int32_t IMVELA_CALL Imvela_GetImage(int32_t handle, void* buffer, int32_t size, int32_t top_down);
IMVELA_API int32_t IMVELA_CALL Imvela_Close(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_GetStatus(int32_t handle, int32_t unused);

/* Windows
 * The preview window is a child window of `parent` at (x, y, width, height), or, with a null
 * parent, a top-level window centred on the screen whose client area has the image's size
 * (with a null parent and four zeros there is no window at all). On Linux it is an X11
 * window on the display named by DISPLAY, and `parent` is an X11 window id given as
 * (HWND)(uintptr_t)id; the library serves the window's events itself. */
IMVELA_API int32_t IMVELA_CALL Imvela_SetPreviewWindow(int32_t handle, HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);
IMVELA_API int32_t IMVELA_CALL Imvela_SetCaptureWindow(int32_t handle, int32_t width, int32_t height);
IMVELA_API int32_t IMVELA_CALL Imvela_SetCaptureWindowEx(int32_t handle, int32_t total_width, int32_t h_start, int32_t effective_width,
                                                         int32_t total_height, int32_t v_start, int32_t effective_height);
IMVELA_API int32_t IMVELA_CALL Imvela_GetCaptureWindowEx(int32_t handle, int32_t* total_width, int32_t* h_start, int32_t* effective_width,
                                                         int32_t* total_height, int32_t* v_start, int32_t* effective_height);
IMVELA_API int32_t IMVELA_CALL Imvela_Width(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_Height(int32_t handle);

/* Image format */
IMVELA_API int32_t IMVELA_CALL Imvela_SetColorMode(int32_t handle, int32_t bits);
IMVELA_API int32_t IMVELA_CALL Imvela_GetColorMode(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_SetSubSample(int32_t handle, int32_t mode);
IMVELA_API int32_t IMVELA_CALL Imvela_GetSubSample(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_SetWaitTime(int32_t handle, int32_t milliseconds);
IMVELA_API int32_t IMVELA_CALL Imvela_GetWaitTime(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_GetVideoFormat(int32_t handle, int32_t* value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetSamplingRate(int32_t handle, int32_t* value);

/* Filter values and defect correction */
IMVELA_API int32_t IMVELA_CALL Imvela_SetFilterValue(int32_t handle, int32_t identifier, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetFilterValue(int32_t handle, int32_t identifier, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetConfigFilter(int32_t handle, int32_t on);
IMVELA_API int32_t IMVELA_CALL Imvela_GetConfigFilter(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_LoadConfigFileA(int32_t handle, const char* path);
IMVELA_API int32_t IMVELA_CALL Imvela_LoadConfigFileW(int32_t handle, const IMVELA_WCHAR* path);

/* Sensor, mirrors, exposure, registers and port
 * A mirror, gain or exposure the sensor does not take (Imvela_SetMirrorH/V,
 * Imvela_SetFilterValue and its named gain and exposure setters, Imvela_SetRealExposureTime)
 * returns 0 and records ERR_DEVICE_IO; the value is kept as set, and the next capture
 * programs it again. */
IMVELA_API int32_t IMVELA_CALL Imvela_SetMirrorH(int32_t handle, int32_t on);
IMVELA_API int32_t IMVELA_CALL Imvela_GetMirrorH(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_SetMirrorV(int32_t handle, int32_t on);
IMVELA_API int32_t IMVELA_CALL Imvela_GetMirrorV(int32_t handle);
IMVELA_API int32_t IMVELA_CALL Imvela_SetAutoIris(int32_t handle, int32_t mode);
IMVELA_API int32_t IMVELA_CALL Imvela_GetAutoIris(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetRealExposureTime(int32_t handle, int32_t microseconds);
IMVELA_API int32_t IMVELA_CALL Imvela_GetRealExposureTime(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_ReadRegister(int32_t handle, int32_t address, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_ReadRegisterEx(int32_t handle, int32_t address, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_WriteRegister(int32_t handle, int32_t address, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_WriteRegisterEx(int32_t handle, int32_t address, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_ReadSromID(int32_t handle, int32_t address, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_WriteSromID(int32_t handle, int32_t address, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetIOPort(int32_t handle, uint8_t* value, int32_t unused1, int32_t unused2);
IMVELA_API int32_t IMVELA_CALL Imvela_SetIOPort(int32_t handle, int32_t value);

/* Property dialogs (Windows): modal, run on the calling thread, owned by `parent`. The
 * application must have initialised the common controls (InitCommonControlsEx with tab,
 * trackbar and up-down classes), and the library must be loaded under its own file name.
 * Japanese texts when the system's default language is Japanese, English otherwise.
 * Results: 1 when the dialog ran (whatever the user chose); 0 with error 1 (no device, or a
 * dialog of the same kind already open on this camera) or 4 (the dialog could not be
 * created). Elsewhere than Windows there are no dialogs: 0 with error 11; the filter-value,
 * gain, exposure, mirror, colour-mode and capture-window functions do the same work.
 * Imvela_SetCameraDlg edits the stored video format and size list; capture stops while it is
 * open and restarts afterwards, with the new format after OK. Imvela_SetImageDlg and
 * Imvela_SetAnalogDlg change the camera live; Cancel puts back what they changed. */
IMVELA_API int32_t IMVELA_CALL Imvela_SetImageDlg(int32_t handle, HWND parent);
IMVELA_API int32_t IMVELA_CALL Imvela_SetAnalogDlg(int32_t handle, HWND parent);
IMVELA_API int32_t IMVELA_CALL Imvela_SetCameraDlg(int32_t handle, HWND parent);

/* Files */
/* Still images of the current image (the delivered image of the last capture or preview frame),
 * its first row at the top of the stored picture. type: 0 BMP, 1 raw dump of the buffer (rows of
 * the delivered layout, 4-byte aligned, no header), 2/3/4 progressive JPEG of quality 100/70/20
 * (16-bit data reduced to 8 bits), 5 PNG, 6 uncompressed TIFF (16-bit samples widened from 12
 * significant bits to the full range). 1 on success, 0 on failure.
 * Error 1 (recorded and posted): no device, no image since initialisation (Imvela_SaveImage),
 * no image buffer yet, or a wide name with no form in the ANSI code page (Imvela_SaveImageW).
 * Other failures (unknown type, a file that cannot be written, an encoder error) only return 0;
 * the file is written under a temporary name beside the target and moved onto it when complete,
 * so a failed save leaves no file and an existing file is replaced only by a complete one.
 * A PNG encoder error is printed to the standard error stream as "libpng error: <message>".
 * Any thread; saves of several cameras may overlap, saves of one camera run one after another.
 * Capture is blocked only while the image is copied, never while it is encoded. */
IMVELA_API int32_t IMVELA_CALL Imvela_SaveImage(int32_t handle, const char* path, int32_t type);
IMVELA_API int32_t IMVELA_CALL Imvela_SaveImageW(int32_t handle, const IMVELA_WCHAR* path, int32_t type);
/* Recording */
/* Imvela_Record(W): records the live picture as an uncompressed 24-bit AVI file for
 * `milliseconds` counted from the first recorded frame (the frame that crosses the end is
 * kept). Starts the preview if it is not running (in its window when show_window is non-zero
 * and a preview window is set, else windowless) and clears a callback-preview registration;
 * the preview keeps running after the recording. 1 once the recording runs. Every frame the
 * preview delivers is recorded: it is copied as soon as it is finished and written by the
 * recording thread (frames are skipped only when the disk falls behind by more than a
 * fraction of a second). 16-bit samples are recorded as their top 8 of 12 significant bits.
 * The file is finished (index, measured rate, frame count) when the time is up, and also when
 * Imvela_StopPreview, Imvela_Close or Imvela_Release end the recording early (frames already
 * taken are written first); one that got no frame is a valid empty file. A recording is a
 * plain AVI file while it stays below 1 GiB; one that grows past that becomes an OpenDML
 * (AVI 2.0) file, whose first part older readers still play.
 * Errors: 9 no file name; 12 wide name not converted, a recording already running (it goes
 * on), preview not started or file not created (the preview is then closed); 4 preview window
 * not made; 3 recording thread not made. A write failure while recording (disk full) stops
 * the recording, finishes the file as far as it got and records and posts 12. */
IMVELA_API int32_t IMVELA_CALL Imvela_Record(int32_t handle, const char* path, uint32_t milliseconds, int32_t show_window);
IMVELA_API int32_t IMVELA_CALL Imvela_RecordW(int32_t handle, const IMVELA_WCHAR* path, uint32_t milliseconds, int32_t show_window);

/* Not supported by this model: always 0, error 11 posted for a live handle; further arguments ignored. */
IMVELA_API int32_t IMVELA_CALL Imvela_Fpga_ReadRegister(int32_t handle, ...);
IMVELA_API int32_t IMVELA_CALL Imvela_Fpga_WriteRegister(int32_t handle, ...);
IMVELA_API int32_t IMVELA_CALL Imvela_Fps(int32_t handle, ...);
IMVELA_API int32_t IMVELA_CALL Imvela_GetHalfClock(int32_t handle, ...);
IMVELA_API int32_t IMVELA_CALL Imvela_SetCrossbar(int32_t handle, ...);
IMVELA_API int32_t IMVELA_CALL Imvela_SetHalfClock(int32_t handle, ...);
IMVELA_API int32_t IMVELA_CALL Imvela_SetSamplingRate(int32_t handle, ...);

/* Named filter values: Imvela_SetFilterValue / Imvela_GetFilterValue with identifiers 1 to 27. */
IMVELA_API int32_t IMVELA_CALL Imvela_SetBrightness(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBrightness(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetContrast(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetContrast(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetHue(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetHue(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetSaturation(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetSaturation(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetSharpness(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetSharpness(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetBayerGainRGB(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBayerGainRGB(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetBayerGainRed(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBayerGainRed(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetBayerGainGreen(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBayerGainGreen(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetBayerGainBlue(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBayerGainBlue(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetBayerGainAuto(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBayerGainAuto(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGamma(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGamma(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetBayerMode(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetBayerMode(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGlobalGain(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGlobalGain(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetColorGainRed(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetColorGainRed(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetColorGainGreen1(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetColorGainGreen1(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetColorGainGreen2(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetColorGainGreen2(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetColorGainBlue(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetColorGainBlue(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetExposureTime(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetExposureTime(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayMode(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayMode(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayGainR(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayGainR(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayGainG1(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayGainG1(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayGainG2(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayGainG2(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayGainB(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayGainB(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayOffsetR(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayOffsetR(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayOffsetG1(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayOffsetG1(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayOffsetG2(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayOffsetG2(int32_t handle, int32_t* ok);
IMVELA_API int32_t IMVELA_CALL Imvela_SetGrayOffsetB(int32_t handle, int32_t value);
IMVELA_API int32_t IMVELA_CALL Imvela_GetGrayOffsetB(int32_t handle, int32_t* ok);

/* Diagnostics
 *
 * Functions beside the camera's own set that tell what happened: who holds a camera, what
 * the stream did, which frame is being handled. They never change a camera's state. Each
 * returns 1 on success and 0 on failure; with a valid handle the cause is recorded as by
 * every function (Imvela_GetLastError, WM_CAMERA_ERROR). They may be called from any thread,
 * during capture and from a frame handler; they take no lock a capture call holds, so they
 * never wait for a frame or a stop.
 *
 * Records: set size before each call. A size smaller than the first version of the record
 * fails with ERR_BUFFER; a larger one is accepted (fields the library does not know are
 * left as they are), so an application built against a later header still works. */

typedef struct ImvelaDeviceHolder {
    int32_t size;            /* sizeof(ImvelaDeviceHolder) */
    int32_t in_use;          /* 1: a camera handle (any process) holds the device; 0: free */
    int32_t process_id;      /* the holder's process id, 0 when free */
    int32_t alive;           /* 1: the holder process still runs (0: a stale entry) */
    int64_t since;           /* when the holder took the device: seconds since 1970 UTC */
    char    executable[256]; /* the holder's executable file name without folders, UTF-8 */
} ImvelaDeviceHolder;
/* Who holds device `device_number` (as numbered by Imvela_EnumDevice) for capture: a preview
 * or recording of any process. Needs no camera handle of the caller's: handle may be 0; a
 * valid handle gets the error recorded, an unknown non-zero handle fails with nothing
 * recorded. A process that ended without releasing the device leaves a stale entry
 * (in_use 1, alive 0), which capture takes over. process_id, since and executable are 0 or
 * empty when the holder did not record them (a program other than this library) or the
 * system will not tell (executable of another user's process on Windows); since is the
 * holder's own record of its claim, its process start time tells a stale entry from a new
 * process given the same id.
 * Errors: ERR_ARGUMENT (null holder, device_number outside 0 to 31), ERR_BUFFER (size too
 * small), ERR_NOT_READY (the device-use table cannot be mapped). */
IMVELA_API int32_t IMVELA_CALL ImvelaDiag_GetDeviceHolder(int32_t handle, int32_t device_number, ImvelaDeviceHolder* holder);

typedef struct ImvelaFrameInfo {
    int32_t  size;           /* sizeof(ImvelaFrameInfo) */
    uint32_t sequence;       /* the camera's frame number since capture started (0 first);
                                a gap means frames were skipped */
    uint64_t arrival_us;     /* when the frame arrived, monotonic clock, microseconds */
} ImvelaFrameInfo;
/* The frame most recently delivered on this handle (the one whose WM_CAMERA_FRAME is being
 * handled, or the snapshot just taken): its number and when its transfer completed. The
 * clock is the system's monotonic clock (Linux CLOCK_MONOTONIC, Windows the performance
 * counter), comparable between processes of one machine. A frame delivered while the
 * handler runs replaces the values, as it replaces the frame record; the two fields always
 * belong to one frame. Frames read singly (snapshots, triggers) are numbered one after
 * another from 0 at the start of the capture.
 * Errors: ERR_ARGUMENT (null info), ERR_BUFFER (size too small), ERR_NOT_READY (no frame
 * delivered on this handle yet). */
IMVELA_API int32_t IMVELA_CALL ImvelaDiag_GetFrameInfo(int32_t handle, ImvelaFrameInfo* info);

typedef struct ImvelaStreamStats {
    int32_t  size;                 /* sizeof(ImvelaStreamStats) */
    uint32_t frames_delivered;
    uint32_t frames_skipped;       /* sent by the camera while a newer frame was taken */
    uint32_t transfers_failed;
    uint32_t transfers_short;
    uint32_t timeouts;
    uint32_t unplugs;
    uint32_t frames_recorded;
    uint32_t frames_not_recorded;  /* frames the recorder had to skip */
    uint32_t last_sequence;
    uint64_t last_arrival_us;      /* monotonic microseconds, 0 before the first frame */
} ImvelaStreamStats;
/* Counts since the last start of capture on this handle (Imvela_StartPreview and the calls
 * that start a preview, Imvela_Capture, Imvela_Trigger, a snapshot outside capture mode);
 * they stay readable after the capture stops. A short transfer is counted also when the
 * stream forgives it (the first of a stream is read again); a failed transfer that lasted
 * the driver's timeout counts as a time-out, as does a preview that got no frame for 6 s; a
 * trigger that does not come is no time-out. The recorder's counts are those of the
 * running or last recording. frames_delivered + frames_skipped = last_sequence + 1 once a
 * streamed frame was delivered.
 * Errors: ERR_ARGUMENT (null stats), ERR_BUFFER (size too small), ERR_NOT_READY (no device
 * behind the handle). */
IMVELA_API int32_t IMVELA_CALL ImvelaDiag_GetStreamStats(int32_t handle, ImvelaStreamStats* stats);

/* The self-check an integrator runs on the machine the camera works on.
 * IMVELA_SELFTEST_PIPELINE: the frame pipeline on a built-in 256 x 192 pattern, in every
 *   colour mode, neutral and with every adjustment (hue, saturation, gamma, contrast,
 *   sharpness, brightness, white-balance gains, gray gains and offsets, luminance gray), by
 *   every kernel variant this processor runs (baseline, SSE4.1, AVX2), on one thread and on
 *   all kernel threads; each output's digest is compared with the digest the library was
 *   built with. The pipeline gives the same bytes on every variant, thread count and build
 *   (32- and 64-bit), so any difference is a fault of this machine or this build.
 * IMVELA_SELFTEST_CAMERA: the camera of the handle (real or emulated): enumeration, the
 *   serial-ROM identifier, sensor register 0x2E read, written back and read again, each
 *   colour mode streamed for 0.6 s (passes when at least 90 % of the frames the camera sent,
 *   less one, were delivered and no transfer failed), the last streamed frame and a snapshot equal to
 *   the library's image of them (Imvela_GetImage), and a stop within a second. The camera
 *   streams in its capture window without a preview window; its colour mode is put back.
 *   Takes about 5 s.
 * The report, terminated, goes into `report` (4096 bytes hold it): a header naming the
 * library, build and kernels, a line per check with its figures and "pass" or "FAIL", and a
 * last line "all checks passed" or "N checks FAILED"; short enough to mail.
 * Result: 1 when every check run passed; 0 when one failed (the report says which) or the
 * call failed. handle 0 runs the pipeline alone (parts must be IMVELA_SELFTEST_PIPELINE) and
 * records nothing.
 * Errors: ERR_ARGUMENT (null report, report_size below 1, parts not a combination of the two),
 * ERR_NOT_READY (camera part while the camera captures, or no device), ERR_BUFFER (the report
 * did not fit; what fits is written).
 * Threads: any thread; self-checks of a process run one after another. While the pipeline
 * part runs, other cameras of the process keep streaming with identical results (it switches
 * the process's kernel variant and thread limit, and puts both back). */
#define IMVELA_SELFTEST_PIPELINE 1
#define IMVELA_SELFTEST_CAMERA   2
IMVELA_API int32_t IMVELA_CALL ImvelaDiag_SelfTest(int32_t handle, int32_t parts, char* report, int32_t report_size);

/* Emulated camera
 *
 * The library carries an emulated camera that speaks the camera driver's contract. It is
 * chosen per process by environment variables, read whenever devices are enumerated or opened:
 *   IMVELA_EMULATOR            unset: the camera driver on Windows, one emulated camera at
 *                              device number 0 elsewhere; "0,2,5": emulated cameras at exactly
 *                              those numbers; "none": the emulator with no camera
 *   IMVELA_EMULATOR_SCENE      "bars" (default): colour bars, a gray ramp and a moving object
 *                              as a Bayer mosaic, 12 significant bits, brighter with exposure
 *                              and gain; "ramp": sample (X + 2Y) mod 256 (one-byte samples) or
 *                              mod 4096 (two-byte samples) at sensor column X, row Y
 *   IMVELA_EMULATOR_FPS        frame pacing, default 30; 0 answers every request at once
 *   IMVELA_EMULATOR_DEFECTS    defect-pixel file (int32 x, int32 y records, y counted from the
 *                              sensor's bottom row) whose pixels read full scale
 *   IMVELA_EMULATOR_ROM_MODE   serial-ROM byte 0x1EB0 (default 1)
 *   IMVELA_EMULATOR_TRIGGER_MS with the trigger armed, a trigger every N milliseconds
 * The functions below reach the emulated cameras (device numbers as above).
 */
#define IMVELA_EMU_FAULT_SHORT_TRANSFER 1 /* the image request moves half the frame */
#define IMVELA_EMU_FAULT_FAILED_REQUEST 2 /* the image request fails at once */
#define IMVELA_EMU_FAULT_STALL          3 /* nothing until the driver timeout, then failure */
#define IMVELA_EMU_FAULT_UNPLUG         4 /* at the next image request the camera is unplugged */

/* Fires the hardware trigger: 1 when the camera exists and the trigger is armed. A trigger
 * with no read pending is kept (at most one) for the next read. */
IMVELA_API int32_t IMVELA_CALL ImvelaEmu_Trigger(int32_t device_number);
/* A fault for the next count image requests (0 clears it); 1, or 0 for an unknown device or
 * kind. An unplugged camera fails every open and every open file until ImvelaEmu_Replug. */
IMVELA_API int32_t IMVELA_CALL ImvelaEmu_InjectFault(int32_t device_number, int32_t kind, int32_t count);
/* 1 for an existing camera (plugged in again if it was unplugged), 0 for an unknown one. */
IMVELA_API int32_t IMVELA_CALL ImvelaEmu_Replug(int32_t device_number);
/* Last value written to a sensor register or port register (0 when nothing wrote it);
 * -1 for an unknown device. */
IMVELA_API int32_t IMVELA_CALL ImvelaEmu_ReadRegister(int32_t device_number, int32_t address);
IMVELA_API int32_t IMVELA_CALL ImvelaEmu_ReadPort(int32_t device_number, int32_t port);
/* Complete frames delivered since the process started (short and failed transfers do not
 * count); -1 for an unknown device. */
IMVELA_API int32_t IMVELA_CALL ImvelaEmu_FrameCount(int32_t device_number);

#if !defined(_WIN32)
/* POSIX stand-in for windows: a queue receives what the library posts to a window. */
typedef struct ImvelaMsg {
    uint32_t  message;
    uintptr_t wParam;
    intptr_t  lParam;
} ImvelaMsg;

IMVELA_API HWND IMVELA_CALL ImvelaMsg_CreateQueue(void);
/* 1 and the oldest message removed, 0 when none came within timeout_ms (0 polls). */
IMVELA_API int IMVELA_CALL ImvelaMsg_Get(HWND queue, uint32_t timeout_ms, ImvelaMsg* out);
IMVELA_API void IMVELA_CALL ImvelaMsg_DestroyQueue(HWND queue);
#endif

#ifdef __cplusplus
}
#endif

#endif /* IMVELA_SDK_H */
