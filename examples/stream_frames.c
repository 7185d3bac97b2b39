/* Opens the first camera, streams ten frames of 24-bit colour and saves the last one.
 *   stream_frames [FILE]     FILE: frame.bmp, or frame.ppm when the library cannot save */
#if !defined(_WIN32) && !defined(_POSIX_C_SOURCE)
#define _POSIX_C_SOURCE 199309L /* clock_gettime */
#endif
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "ImvelaSdk.h"

#ifdef _WIN32
/* Frames are announced by messages to a window: a message-only window will do. */
static HWND open_window(void) { return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL); }
static void close_window(HWND window) { DestroyWindow(window); }
static double seconds_now(void) { return GetTickCount() / 1000.0; }
static int next_message(HWND window, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    const DWORD start = GetTickCount();
    MSG m;
    while (GetTickCount() - start < 5000) {
        if (PeekMessageA(&m, window, 0, 0, PM_REMOVE)) {
            *message = m.message, *wparam = m.wParam, *lparam = m.lParam;
            return 1;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_POSTMESSAGE);
    }
    return 0;
}
#else
/* On Linux a window is a message queue of the library. */
static HWND open_window(void) { return ImvelaMsg_CreateQueue(); }
static void close_window(HWND window) { ImvelaMsg_DestroyQueue(window); }
static double seconds_now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}
static int next_message(HWND window, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    ImvelaMsg m;
    if (!ImvelaMsg_Get(window, 5000, &m)) return 0;
    *message = m.message, *wparam = m.wParam, *lparam = m.lParam;
    return 1;
}
#endif

#ifndef IMVELA_HAVE_SAVE_IMAGE
/* 24-bit rows (B, G, R, top row first, stride a multiple of 4) as a binary PPM. */
static int write_ppm(const char* path, const uint8_t* image, int32_t width, int32_t height, int32_t stride) {
    FILE* file = fopen(path, "wb");
    if (!file) return 0;
    fprintf(file, "P6\n%d %d\n255\n", (int)width, (int)height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = image + (size_t)y * stride + 3 * (size_t)x;
            fputc(p[2], file), fputc(p[1], file), fputc(p[0], file);
        }
    return fclose(file) == 0;
}
#endif

int main(int argc, char** argv) {
    HWND window = open_window();
    const int32_t camera = Imvela_Initialize(window);
    /* Initialisation succeeds without a camera; opening device 0 tells. */
    if (!camera || !Imvela_SetDeviceNumber(camera, 0) || !Imvela_SetColorMode(camera, 24)) {
        fprintf(stderr, "no camera: error %d\n", (int)Imvela_GetLastError(camera));
        return 1;
    }
    Imvela_SetPreviewWindow(camera, NULL, 0, 0, 0, 0); /* frames only, no preview window */
    const int32_t width = Imvela_Width(camera), height = Imvela_Height(camera);
    const int32_t stride = (width * 3 + 3) & ~3;
    uint8_t* image = malloc((size_t)stride * height);
    int frames = 0;
    double first_arrival = 0;
    if (image && Imvela_CallBackPreview(camera, window, image, stride * height, 1 /* top row first */)) {
        uint32_t message;
        uintptr_t wparam;
        intptr_t lparam;
        while (frames < 10 && next_message(window, &message, &wparam, &lparam)) {
            if (message != WM_CAMERA_FRAME) continue;
            if (!wparam) {
                fprintf(stderr, "stream failed: error %d\n", (int)lparam);
                break;
            }
            const ImvelaFrameRecord* record = (const ImvelaFrameRecord*)wparam;
            /* The library measures the rate over its first second; until then, the frames
             * since the first one over the time they took. */
            const double now = seconds_now();
            double rate = record->frame_rate / 10.0;
            if (frames == 0) first_arrival = now;
            else if (rate == 0 && now > first_arrival) rate = frames / (now - first_arrival);
            printf("frame %d: %d x %d, %d bits, %.1f frames/s\n", ++frames, (int)record->width,
                   (int)record->height, (int)record->bit_count, rate);
        }
        Imvela_StopPreview(camera);
    }
#ifdef IMVELA_HAVE_SAVE_IMAGE
    const char* path = argc > 1 ? argv[1] : "frame.bmp";
    const int saved = frames == 10 && Imvela_SaveImage(camera, path, 0 /* bitmap */);
#else
    const char* path = argc > 1 ? argv[1] : "frame.ppm";
    const int saved = frames == 10 && write_ppm(path, image, width, height, stride);
#endif
    if (saved) printf("saved %s\n", path);
    Imvela_Release(camera);
    close_window(window);
    free(image);
    return saved ? 0 : 1;
}
