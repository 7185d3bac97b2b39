#!/usr/bin/env bash
# Runs a Windows test program under 32-bit Wine in a throw-away prefix inside the build
# folder of the program (made on first use):
#   wine-run.sh PROGRAM ARGUMENTS...
# Makes the prefix without running anything (the test run then keeps one wineserver for it):
#   wine-run.sh --prepare PREFIX
set -euo pipefail
export WINEDEBUG=-all
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="

# Windows are left unmanaged: without a window manager on the virtual screen, Wine would
# wait two seconds for one at every top-level window it shows or hides.
prepare() {
  [ -f "$WINEPREFIX/.unmanaged-windows" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
    if [ ! -f "$WINEPREFIX/.unmanaged-windows" ]; then
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.unmanaged-windows"
    fi
    wineserver -w || true
  ) 9>"$WINEPREFIX.lock"
}

if [ "$1" = --prepare ]; then
  export WINEPREFIX=$2
  prepare
  exit 0
fi
exe=$1
shift
build=$(cd "$(dirname "$exe")/.." && pwd)
export WINEPREFIX=${IMVELA_WINEPREFIX:-$build/wineprefix}
prepare
exec wine "$exe" "$@"
