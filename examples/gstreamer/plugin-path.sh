# Sourced by the other scripts: GStreamer finds imvelasrc in the build tree unless
# GST_PLUGIN_PATH already names a folder (an installed SDK: <prefix>/lib/gstreamer-1.0).
export GST_PLUGIN_PATH=${GST_PLUGIN_PATH:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/native/gstreamer}
