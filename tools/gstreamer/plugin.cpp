// The plugin that carries imvelasrc.
// The gettext package name GStreamer's plugin description asks for.
#define PACKAGE "imvela"
#include <gst/gst.h>

#include "imvela_src.h"

static gboolean plugin_init(GstPlugin* plugin) {
    return gst_element_register(plugin, "imvelasrc", GST_RANK_NONE, GST_TYPE_IMVELA_SRC);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, imvela, "The M52-ZKR USB camera as a video source",
                  plugin_init, "1.0", "Proprietary", "ImvelaSdk", "https://localhost/imvela")
