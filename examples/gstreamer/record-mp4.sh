#!/usr/bin/env bash
# SECONDS of camera 0 as H.264 in an MP4 file:  record-mp4.sh SECONDS FILE.mp4
set -euo pipefail
. "$(dirname "$0")/plugin-path.sh"
seconds=${1:?seconds}
file=${2:?file.mp4}
# -e: Ctrl-C still finishes the file.
exec gst-launch-1.0 -e imvelasrc num-buffers=$((seconds * 30)) ! videoconvert ! x264enc tune=zerolatency ! \
  mp4mux ! filesink location="$file"
