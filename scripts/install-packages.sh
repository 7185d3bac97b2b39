#!/usr/bin/env bash
# Installs the Debian packages a job needs; quiet and quick when they are all present.
#   install-packages.sh demo   compiler, CMake and the X11 client library
#   install-packages.sh test   also GoogleTest's sources, Google Benchmark, OpenCV (the benchmarks'
#                              comparison), MinGW-w64 (32- and 64-bit), Wine (32- and 64-bit), Xvfb
#                              and xdpyinfo, lld (links a program as the Microsoft linker would,
#                              against the .lib), pkg-config, Python with numpy and pytest, ffmpeg
#                              (the recording tests play the files back)
set -euo pipefail
profile=${1:-demo}
packages=(build-essential cmake libx11-dev)
if [ "$profile" = test ]; then
  packages+=(googletest libbenchmark-dev libopencv-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386
             wine64 xvfb x11-utils lld pkg-config python3 python3-numpy python3-pytest ffmpeg)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -q i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
