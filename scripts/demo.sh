#!/usr/bin/env bash
# Builds the library and the imvela tool natively and runs the tool; arguments go to it
# (./scripts/demo.sh list, ./scripts/demo.sh snapshot out.png).
# Without arguments: a short tour on the emulated camera that leaves its results in
# build/demo/output: a still of each type, a 3-second AVI recording and summary.txt with
# everything the tour printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" demo
cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=Release -DIMVELA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/demo" -j"$(nproc)" --target imvela >/dev/null
tool=$root/build/demo/bin/imvela
if [ $# -ne 0 ]; then exec "$tool" "$@"; fi

output=$root/build/demo/output
rm -rf "$output"
mkdir -p "$output"
summary=$output/summary.txt
export IMVELA_EMULATOR=${IMVELA_EMULATOR:-0}
# One step of the tour: its command line and what it printed go to the summary as well.
step() {
  echo "\$ imvela $*" | tee -a "$summary"
  "$tool" "$@" 2>&1 | tee -a "$summary"
  local status=${PIPESTATUS[0]}
  echo | tee -a "$summary"
  return "$status"
}
step version
step list
step info
# The doctor's findings are part of the tour; a missing display does not stop it.
step doctor || true
step stream 3 --mode 24
step stills "$output/stills" --mode 24
step snapshot "$output/snapshot_48bit.png" "$output/snapshot_48bit.tif" --mode 48
step record 3 "$output/recording.avi"
step trigger 3
echo "results in $output:"
(cd "$output" && find . -type f | sort | sed 's|^\./|  |')
