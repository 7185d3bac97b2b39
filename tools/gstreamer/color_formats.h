#pragma once
// The camera's colour modes as GStreamer raw video formats.
#include <gst/video/video.h>

#include <cstdint>

struct ColorFormat {
    int32_t bits;             // the value Imvela_SetColorMode takes
    int32_t reported;         // what Imvela_GetColorMode answers in this mode
    int32_t camera_bits;      // the mode the camera runs in to deliver it
    GstVideoFormat format;
};

// The six modes; the 48-bit mode is delivered by the 64-bit mode (see color_formats.cpp).
const ColorFormat* color_format_by_bits(int32_t bits);
const ColorFormat* color_format_by_reported(int32_t reported);
// The mode a negotiated format stands for; `preferred_bits` settles BGRA64_LE (48 or 64).
const ColorFormat* color_format_by_video(GstVideoFormat format, int32_t preferred_bits);
// Every format for `bits` (0: all modes), `first_bits`' format first.
void append_formats(GValue* list, int32_t bits, int32_t first_bits);
// Bytes of one delivered row as the library lays it out: whole pixels rounded up to 4.
int32_t library_stride(int32_t camera_bits, int32_t width);
