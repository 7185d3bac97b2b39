#!/usr/bin/env bash
# Shows what rtp-send.sh sends (the same size):  rtp-receive.sh [PORT] [WIDTH HEIGHT]
# Needs only GStreamer's base and good plugins, not the camera library.
set -euo pipefail
caps="application/x-rtp, media=video, clock-rate=90000, encoding-name=RAW, sampling=BGR, depth=(string)8"
caps="$caps, width=(string)${2:-640}, height=(string)${3:-480}, colorimetry=(string)SMPTE240M"
exec gst-launch-1.0 udpsrc port="${1:-5004}" buffer-size=8000000 caps="$caps" ! rtpvrawdepay ! videoconvert ! \
  autovideosink sync=false
