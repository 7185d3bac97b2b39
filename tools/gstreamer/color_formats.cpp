// Colour modes and GStreamer formats. Samples of the 16-bit modes carry the sensor's 12
// significant bits in the low bits of each little-endian word (0 to 4095).
//
// GStreamer has no packed format of three 16-bit samples, so the 48-bit mode is delivered as
// BGRA64_LE by running the camera in its 64-bit mode: blue, green and red are the same words
// the 48-bit mode gives, and the fourth word, which the camera leaves at 0, pads each pixel to
// 8 bytes. A planar format (GBR_12LE) would have cost a reordering copy of every frame.
#include "color_formats.h"

namespace {

constexpr ColorFormat kFormats[] = {
    {8, 8, 8, GST_VIDEO_FORMAT_GRAY8},           {16, 12, 16, GST_VIDEO_FORMAT_GRAY16_LE},
    {24, 24, 24, GST_VIDEO_FORMAT_BGR},          {32, 32, 32, GST_VIDEO_FORMAT_BGRx},
    {48, 44, 64, GST_VIDEO_FORMAT_BGRA64_LE},    {64, 60, 64, GST_VIDEO_FORMAT_BGRA64_LE},
};

}  // namespace

const ColorFormat* color_format_by_bits(int32_t bits) {
    for (const ColorFormat& f : kFormats)
        if (f.bits == bits) return &f;
    return nullptr;
}

const ColorFormat* color_format_by_reported(int32_t reported) {
    for (const ColorFormat& f : kFormats)
        if (f.reported == reported) return &f;
    return nullptr;
}

const ColorFormat* color_format_by_video(GstVideoFormat format, int32_t preferred_bits) {
    const ColorFormat* preferred = color_format_by_bits(preferred_bits);
    if (preferred && preferred->format == format) return preferred;
    for (const ColorFormat& f : kFormats)
        if (f.format == format && f.bits == f.camera_bits) return &f;
    return nullptr;
}

void append_formats(GValue* list, int32_t bits, int32_t first_bits) {
    auto append = [list](GstVideoFormat format) {
        for (guint i = 0; i < gst_value_list_get_size(list); ++i)
            if (g_strcmp0(g_value_get_string(gst_value_list_get_value(list, i)), gst_video_format_to_string(format)) == 0)
                return;
        GValue v = G_VALUE_INIT;
        g_value_init(&v, G_TYPE_STRING);
        g_value_set_string(&v, gst_video_format_to_string(format));
        gst_value_list_append_and_take_value(list, &v);
    };
    if (const ColorFormat* first = color_format_by_bits(bits ? bits : first_bits)) append(first->format);
    if (bits == 0)
        for (const ColorFormat& f : kFormats) append(f.format);
}

int32_t library_stride(int32_t camera_bits, int32_t width) { return ((camera_bits / 8) * width + 3) & ~3; }
