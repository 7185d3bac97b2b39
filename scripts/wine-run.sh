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
# Windows are left unmanaged: without a window manager on the virtual screen, Wine would
# wait two seconds for one at every top-level window it shows or hides.
if [ ! -f "$WINEPREFIX/.unmanaged-windows" ]; then
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
    if [ ! -f "$WINEPREFIX/.unmanaged-windows" ]; then
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.unmanaged-windows"
    fi
    wineserver -w || true
  ) 9>"$build/.wineprefix.lock"
fi
exec wine "$exe" "$@"
