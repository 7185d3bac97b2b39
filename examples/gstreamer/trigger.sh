#!/usr/bin/env bash
# A PNG file per pulse of the camera's trigger input, COUNT of them:  trigger.sh COUNT [FOLDER]
# The emulated camera pulses every second here (IMVELA_EMULATOR_TRIGGER_MS); a real camera
# waits for its input as long as it takes. The software trigger is the element's action
# signal "trigger" (trigger=software), emitted by the application: g_signal_emit_by_name().
set -euo pipefail
. "$(dirname "$0")/plugin-path.sh"
count=${1:?count}
folder=${2:-.}
export IMVELA_EMULATOR_TRIGGER_MS=${IMVELA_EMULATOR_TRIGGER_MS:-1000}
exec gst-launch-1.0 imvelasrc trigger=external num-buffers="$count" ! videoconvert ! pngenc ! \
  multifilesink location="$folder/trigger-%03d.png"
