#!/usr/bin/env bash
# Builds the library and the imvela tool natively and runs the tool; arguments go to it.
# Without arguments: 3 seconds of 24-bit colour streaming from the emulated camera, then one
# still of each type saved into build/demo/stills.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" demo
cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=Release -DIMVELA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/demo" -j"$(nproc)" --target imvela >/dev/null
if [ $# -eq 0 ]; then
  "$root/build/demo/bin/imvela" stream 3 24
  set -- stills "$root/build/demo/stills" 24
fi
exec "$root/build/demo/bin/imvela" "$@"
