#!/usr/bin/env bash
# Runs a Windows test program under 32-bit Wine in a throw-away prefix inside the build
# folder of the program (made on first use).
set -euo pipefail
exe=$1
shift
build=$(cd "$(dirname "$exe")/.." && pwd)
export WINEPREFIX=${IMVELA_WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=-all
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  ) 9>"$build/.wineprefix.lock"
fi
exec wine "$exe" "$@"
