#!/usr/bin/env bash
# Builds the library for Linux and for 32-bit Windows and runs every test: native,
# native under AddressSanitizer + UndefinedBehaviorSanitizer, native under
# ThreadSanitizer, and the Windows build under Wine; then the 64-bit Windows DLL under
# 64-bit Wine. Exits non-zero when any fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-packages.sh" test

jobs=$(nproc)
failed=()

built=()
configure_and_build() {  # name, cmake arguments...
  local name=$1
  shift
  echo "=== build $name"
  local log="$root/build/$name.build.log"
  if ! cmake -S "$root" -B "$root/build/$name" -DCMAKE_BUILD_TYPE=Release "$@" >"$log" 2>&1 ||
     ! cmake --build "$root/build/$name" -j"$jobs" >>"$log" 2>&1; then
    grep -E 'error|Error' "$log" | head -40
    failed+=("$name-build")
    return 0
  fi
  grep -E 'warning:' "$log" | head -20 || true
  built+=("$name")
}

run_suite() {  # name, environment assignments...
  local name=$1
  shift
  [[ " ${built[*]} " == *" $name "* ]] || return 0
  echo "=== test $name"
  if ! (cd "$root/build/$name" && env "$@" ctest --output-on-failure --timeout 600); then
    failed+=("$name")
  fi
}

mkdir -p build

# The preview windows (X11 on Linux, Wine's windows too) go on a private virtual screen for
# the whole run: other programs' windows on a shared display could cover them in screenshots.
# -noreset: a server resets when its last client leaves and refuses connections meanwhile.
display=""
for _ in $(seq 20); do
  candidate=$((100 + RANDOM % 800))
  [ -e "/tmp/.X11-unix/X$candidate" ] || [ -e "/tmp/.X$candidate-lock" ] || { display=:$candidate; break; }
done
Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

configure_and_build native -DIMVELA_BUILD_BENCH=ON
run_suite native

configure_and_build asan -DIMVELA_SANITIZE=address,undefined
run_suite asan ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

configure_and_build tsan -DIMVELA_SANITIZE=thread
# ThreadSanitizer needs the classic address-space layout on newer kernels.
run_suite tsan TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 setarch "$(uname -m)" -R

configure_and_build windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
run_suite windows
wineserver -k 2>/dev/null || true

configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
run_suite win64

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED suites: ${failed[*]}"
  exit 1
fi
echo "all suites passed: native asan tsan windows win64"
