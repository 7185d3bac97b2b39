#!/usr/bin/env bash
# Cross-builds the image encoders the Windows DLL links statically (libjpeg-turbo, libpng,
# libtiff) from Debian's source packages with the MinGW-w64 toolchain of one triplet, and
# installs them into PREFIX (lib/, include/). zlib is Debian's MinGW build (libz-mingw-w64-dev).
# Runs once per prefix: later calls find the finished prefix and return at once.
#   build-encoders-mingw.sh TRIPLET PREFIX      e.g. i686-w64-mingw32 build/encoders/i686-w64-mingw32
# A compiler launcher (ccache) can be given in IMVELA_COMPILER_LAUNCHER.
set -euo pipefail
triplet=$1
prefix=$(mkdir -p "$2" && cd "$2" && pwd)
sources=(libjpeg-turbo libpng1.6 tiff)
stamp="$prefix/.complete"

exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] && exit 0

jobs=$(nproc)
# Packages already built stay (a marker each), so an interrupted build resumes.
work="$prefix/work"
mkdir -p "$work/src"
cd "$work/src"
# The security archive may lack the Debian packaging of a fixed release while the pool still
# has the original tarballs; the tarballs are all this build uses.
if ! ls ./*.orig.tar.* >/dev/null 2>&1 || [ "$(ls ./*.orig.tar.* | wc -l)" -lt ${#sources[@]} ]; then
  apt-get source --download-only "${sources[@]}" >"$work/apt-source.log" 2>&1 || true
fi
for package in "${sources[@]}"; do
  tarball=$(ls "${package}"_*.orig.tar.* 2>/dev/null | head -1)
  if [ -z "$tarball" ]; then
    echo "no source of $package (apt-get source needs the archive's deb-src entries):" >&2
    cat "$work/apt-source.log" >&2
    exit 1
  fi
  if [ ! -d "$work/$package" ]; then
    mkdir -p "$work/$package.unpack"
    tar -xf "$tarball" -C "$work/$package.unpack" --strip-components=1
    mv "$work/$package.unpack" "$work/$package"
  fi
done

case "$triplet" in
  i686-*) processor=i686; flags="-O2 -msse2 -mfpmath=sse" ;;
  x86_64-*) processor=AMD64; flags="-O2" ;;
  *) echo "unknown triplet $triplet" >&2; exit 1 ;;
esac
compiler=$triplet-gcc-posix
command -v "$compiler" >/dev/null || compiler=$triplet-gcc
cat >"$work/toolchain.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $processor)
set(CMAKE_C_COMPILER $compiler)
set(CMAKE_CXX_COMPILER ${compiler/gcc/g++})
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet $prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN

build() {  # package, cmake options...
  local package=$1
  shift
  [ -f "$prefix/.built-$package" ] && return 0
  echo "building $package for $triplet"
  local launcher=()
  [ -n "${IMVELA_COMPILER_LAUNCHER:-}" ] && launcher=(-DCMAKE_C_COMPILER_LAUNCHER="$IMVELA_COMPILER_LAUNCHER")
  if ! { cmake -S "$work/$package" -B "$work/$package-build" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$flags" -DCMAKE_INSTALL_PREFIX="$prefix" \
           "${launcher[@]}" "$@" &&
         cmake --build "$work/$package-build" -j"$jobs" &&
         cmake --install "$work/$package-build"; } >"$work/$package.log" 2>&1; then
    tail -40 "$work/$package.log" >&2
    exit 1
  fi
  touch "$prefix/.built-$package"
}

build libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
  -DCMAKE_ASM_NASM_COMPILER=nasm -DWITH_CRT_DLL=ON
build libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
  -DZLIB_LIBRARY="/usr/$triplet/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triplet/include"
build tiff -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
  -Dcxx=OFF -Dzlib=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF \
  -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF

rm -rf "$work" "$prefix"/.built-*
touch "$stamp"
