#pragma once
// imvelasrc: the camera as a GStreamer live source.
#include <gst/base/gstpushsrc.h>

G_BEGIN_DECLS

#define GST_TYPE_IMVELA_SRC (gst_imvela_src_get_type())
G_DECLARE_FINAL_TYPE(GstImvelaSrc, gst_imvela_src, GST, IMVELA_SRC, GstPushSrc)

G_END_DECLS
