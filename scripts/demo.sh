#!/usr/bin/env bash
# Builds the library and the imvela tool natively and runs the tool; arguments go to it.
# Without arguments: 3 seconds of 24-bit colour streaming from the emulated camera, one still
# of each type saved into build/demo/output/stills, then a 3-second recording into
# build/demo/output/recording.avi.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" demo
cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=Release -DIMVELA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/demo" -j"$(nproc)" --target imvela >/dev/null
if [ $# -eq 0 ]; then
  output="$root/build/demo/output"
  mkdir -p "$output"
  "$root/build/demo/bin/imvela" stream 3 24
  "$root/build/demo/bin/imvela" stills "$output/stills" 24
  set -- record "$output/recording.avi" 3 24
fi
exec "$root/build/demo/bin/imvela" "$@"
