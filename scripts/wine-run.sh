#!/usr/bin/env bash
# Runs a Windows program under Wine in a throw-away prefix inside the build folder of the
# program (made on first use): 32-bit programs in a 32-bit prefix, 64-bit ones (PE machine
# 0x8664) in a 64-bit prefix through the 64-bit loader.
#   wine-run.sh PROGRAM ARGUMENTS...
# Only makes the program's prefix and prints its path (the test run then keeps one
# wineserver running for it, so that each test process starts quickly):
#   wine-run.sh --prepare PROGRAM
set -euo pipefail
prepare_only=false
if [ "$1" = --prepare ]; then
  prepare_only=true
  shift
fi
exe=$1
shift
build=$(cd "$(dirname "$exe")/.." && pwd)
pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')
if [ "$machine" = 8664 ]; then
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  wine=$WINELOADER
  prefix_name=wineprefix64
else
  export WINEARCH=win32
  wine=wine
  prefix_name=wineprefix
fi
export WINEPREFIX=${IMVELA_WINEPREFIX:-$build/$prefix_name}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Windows are left unmanaged: without a window manager on the virtual screen, Wine would
# wait two seconds for one at every top-level window it shows or hides.
if [ ! -f "$WINEPREFIX/.unmanaged-windows" ]; then
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1 || true
    if [ ! -f "$WINEPREFIX/.unmanaged-windows" ]; then
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.unmanaged-windows"
    fi
    wineserver -w || true
  ) 9>"$WINEPREFIX.lock"
fi
if $prepare_only; then
  echo "$WINEPREFIX"
  exit 0
fi
exec "$wine" "$exe" "$@"
