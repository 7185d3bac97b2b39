#!/usr/bin/env bash
# The live picture of camera N (default 0) in a window:  view.sh [N] [COLOUR_BITS]
set -euo pipefail
. "$(dirname "$0")/plugin-path.sh"
exec gst-launch-1.0 imvelasrc device="${1:-0}" color-mode="${2:-24}" ! videoconvert ! autovideosink
