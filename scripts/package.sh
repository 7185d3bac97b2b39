#!/usr/bin/env bash
# Builds the SDK's packages into build/packages:
#   imvela-sdk_VERSION_ARCH.deb   the Linux SDK as a Debian package (installs under /usr)
#   ImvelaSdk-VERSION-win32.zip   the 32-bit Windows SDK
#   ImvelaSdk-VERSION-win64.zip   the 64-bit Windows SDK
# from the build folders that ./scripts/test.sh uses (build/native, build/windows, build/win64),
# configured and brought up to date first. Arguments choose some of them: deb win32 win64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-packages.sh" test
out=$root/build/packages
mkdir -p "$out"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

package() {  # build folder, cmake arguments...
  local build=$root/build/$1
  shift
  echo "=== $build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "$@" >/dev/null
  cmake --build "$build" -j"$(($(nproc) + 1))" >/dev/null
  (cd "$build" && cpack -B "$out" >/dev/null)
}

targets=("$@")
[ ${#targets[@]} -ne 0 ] || targets=(deb win32 win64)
for target in "${targets[@]}"; do
  case $target in
    deb) package native ;;
    win32) package windows -DCMAKE_UNITY_BUILD=ON -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" ;;
    win64) package win64 -DCMAKE_UNITY_BUILD=ON -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" ;;
    *) echo "usage: $0 [deb] [win32] [win64]" >&2; exit 2 ;;
  esac
done
rm -rf "$out/_CPack_Packages"
ls -l "$out"
