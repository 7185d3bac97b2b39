#!/usr/bin/env bash
# Camera 0 as raw RTP video (RFC 4175) to another host:  rtp-send.sh HOST [PORT] [WIDTH HEIGHT]
# 640 x 480 BGR at 30 frames per second is about 220 Mbit/s: a gigabit network carries it.
set -euo pipefail
. "$(dirname "$0")/plugin-path.sh"
host=${1:?host}
exec gst-launch-1.0 imvelasrc ! video/x-raw,format=BGR,width="${3:-640}",height="${4:-480}" ! rtpvrawpay ! \
  udpsink host="$host" port="${2:-5004}"
