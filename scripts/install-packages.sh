#!/usr/bin/env bash
# Installs the Debian packages a job needs; quiet and quick when they are all present.
#   install-packages.sh demo   compiler, CMake, the X11 client library and the image encoders
#   install-packages.sh cross  also what the Windows builds of the image encoders need: MinGW-w64
#                              (32- and 64-bit), zlib for MinGW, nasm, and the archive's source
#                              entries for their Debian sources; the i386 architecture is added
#                              here too, so that the test profile reads no package lists again
#                              while the encoders' sources download
#   install-packages.sh test   also GoogleTest's sources, Google Benchmark, OpenCV (the benchmarks'
#                              comparison), MinGW-w64 (32- and 64-bit), Wine (32- and 64-bit), Xvfb
#                              and xdpyinfo, lld (links a program as the Microsoft
#                              linker would, against the .lib), pkg-config, Python with numpy and pytest,
#                              ffmpeg (the recording tests play the files back), and what the
#                              Windows builds of the image encoders need (zlib for MinGW, nasm,
#                              and the archive's source entries for their Debian sources), lintian
#                              (checks the Debian package), pip, venv, setuptools and wheel (the
#                              module's pip install), and GStreamer's development files, tools and plugins (the imvelasrc
#                              plugin and the pipelines its tests run: x264enc, mp4mux, RTP, UDP),
#                              and a Japanese font (Wine draws the Japanese dialogs' letters as
#                              boxes without one)
#   install-packages.sh fuzz   also clang 14 with libFuzzer (scripts/fuzz.sh)
set -euo pipefail
profile=${1:-demo}
packages=(build-essential cmake pkg-config libx11-dev libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev)
cross=""
case $profile in cross | test) cross=1 ;; esac
if [ -n "$cross" ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev nasm dpkg-dev)
fi
if [ "$profile" = test ]; then
  packages+=(googletest libbenchmark-dev libopencv-dev
             wine wine32:i386 xvfb x11-utils ffmpeg
             wine64 lld python3 python3-numpy python3-pytest
             lintian python3-venv python3-pip python3-setuptools python3-wheel
             libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-plugins-base
             gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad)
  packages+=(nlohmann-json3-dev)  # the tool tests parse its --json output
  # Readers of recordings and stills nobody here wrote (besides FFmpeg and GStreamer): OpenCV, mediainfo,
  # ImageMagick and tiffinfo.
  packages+=(python3-opencv mediainfo imagemagick libtiff-tools)
  # Wine draws the Japanese dialogs' letters as boxes without a Japanese font; Wine's own fonts
  # and the X server's core fonts, which are only recommended.
  packages+=(fonts-ipafont-gothic fonts-wine xfonts-base)
fi
# scripts/fuzz.sh: clang and its sanitizer and libFuzzer runtimes.
if [ "$profile" = fuzz ]; then packages+=(clang-14 libclang-rt-14-dev); fi
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
updated=""
apt_update() {
  [ -n "$updated" ] || $sudo apt-get update -qq
  updated=1
}

# The i386 architecture (Wine's 32-bit half) and source entries for Debian's own archive,
# mirroring the binary entries, so that `apt-get source` can fetch the encoder sources for the
# Windows build; the package lists are read once after either change.
stale=""
if [ -n "$cross" ] && ! dpkg --print-foreign-architectures | grep -q i386; then
  $sudo dpkg --add-architecture i386
  stale=1
fi
if [ -n "$cross" ] && ! grep -rqsE '^[[:space:]]*(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "adding the archive's source entries"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -E 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^([[:space:]]*)deb/\1deb-src/' |
      $sudo tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  stale=1
fi
[ -z "$stale" ] || apt_update

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
# What is only recommended is left out: a fifth fewer packages to fetch and unpack (Wine alone
# recommends the 32-bit multimedia and GL stack); the lists above name all that is used.
install_missing() {
  $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
# The lists are read again only when the packages cannot be had with those at hand (none yet,
# or outdated): the test command installs while the encoders' sources download with them.
if ! install_missing 2>/dev/null; then
  updated=""
  apt_update
  install_missing
fi
