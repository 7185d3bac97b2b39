#!/usr/bin/env bash
# Records past the real 1 GiB RIFF limit with the emulated camera unpaced, through the imvela
# tool, and reads the files with FFmpeg (with and without its index), GStreamer's avidemux,
# OpenCV and mediainfo (scripts/read-recording.py): a finished recording, one stopped with
# SIGINT past 1 GiB, and recordings killed with SIGKILL at a random moment before and after
# 1 GiB. Takes a few minutes and about 6 GB of scratch space; run by hand:
#   scripts/check-long-recording.sh [build/native/bin/imvela] [scratch folder]
set -euo pipefail
tool=${1:-build/native/bin/imvela}
scratch=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/imvela-long-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
here=$(dirname "$0")
export IMVELA_EMULATOR=0 IMVELA_EMULATOR_FPS=0
gib=$((1 << 30))

# Waits (at most a minute) until file $1 holds at least $2 bytes.
wait_size() {
  for _ in $(seq 600); do
    [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge "$2" ] && return 0
    sleep 0.1
  done
  echo "$1 did not reach $2 bytes" >&2
  return 1
}

# Records into $1 and sends signal $2 once the file holds $3 bytes.
record_and_signal() {
  "$tool" record 60 "$1" > "$1.out" 2>&1 &
  local pid=$!
  wait_size "$1" "$3"
  kill "-$2" "$pid"
  local status=0
  wait "$pid" 2>/dev/null || status=$?
  echo "$(basename "$1"): the tool exited with status $status"
}

"$tool" record 20 "$scratch/finished.avi" > "$scratch/finished.avi.out"
record_and_signal "$scratch/interrupted.avi" INT $((gib + (RANDOM << 12)))
record_and_signal "$scratch/killed-before.avi" KILL $((gib / 4 + RANDOM * 16384))
record_and_signal "$scratch/killed-after.avi" KILL $((gib + RANDOM * 16384))
for f in finished interrupted killed-before killed-after; do
  echo "== $f.avi: $(stat -c %s "$scratch/$f.avi") bytes; $(tail -n 1 "$scratch/$f.avi.out")"
done
"$here/read-recording.py" "$scratch"/{finished,interrupted,killed-before,killed-after}.avi
