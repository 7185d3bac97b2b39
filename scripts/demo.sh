#!/usr/bin/env bash
# Builds the library and the imvela tool natively and runs the tool; arguments go to it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" demo
cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=Release -DIMVELA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/demo" -j"$(nproc)" --target imvela >/dev/null
exec "$root/build/demo/bin/imvela" "$@"
