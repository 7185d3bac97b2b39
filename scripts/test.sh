#!/usr/bin/env bash
# Builds the library for Linux and for 32- and 64-bit Windows and runs every test case:
# native, native under AddressSanitizer + UndefinedBehaviorSanitizer, native under
# ThreadSanitizer (the suites that start threads), and the Windows builds under 32- and
# 64-bit Wine.
#
# The configurations are built one after another with every core (one job more, so a
# link or a configure step leaves no core idle), all but the native one as unity builds
# (sources compiled in batches: half the compile time; the native build compiles the
# library, the tools and the benchmarks file by file, so a file that leans on another's
# includes still fails, and its test programs in batches); each one's tests run
# (ctest -j, one process per test case) while the next one builds, on a virtual screen of
# their own. Warnings are errors. The last line reads "N passed, N failed"; the exit status
# is non-zero when a build or a test failed, or a virtual screen did not start.
#
#   ./scripts/test.sh [CONFIGURATION...]   windows win64 native tsan asan; default all five
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
all_configurations=(windows win64 native tsan asan)
configurations=("$@")
[ $# -ne 0 ] || configurations=("${all_configurations[@]}")
for name in "${configurations[@]}"; do
  if [[ " ${all_configurations[*]} " != *" $name "* ]]; then
    echo "usage: $0 [CONFIGURATION...]" >&2
    echo "  configurations: ${all_configurations[*]} (default: all); '$name' is none of them" >&2
    exit 2
  fi
done
wanted() { [[ " ${configurations[*]} " == *" $1 "* ]]; }
logs=$root/build/logs
mkdir -p "$logs"
rm -f "$logs"/*.log "$logs"/*.result

# The Windows builds' image encoders cross-build while the rest of the packages install and
# the first builds compile: their configure steps run mostly on one core. Each Windows
# configuration waits for its own (the script takes a lock) and builds them itself if this
# attempt failed.
encoders_pids=()
if wanted windows || wanted win64; then
  "$root/scripts/install-packages.sh" cross
  for configuration_triplet in windows:i686-w64-mingw32 win64:x86_64-w64-mingw32; do
    wanted "${configuration_triplet%%:*}" || continue
    triplet=${configuration_triplet#*:}
    IMVELA_COMPILER_LAUNCHER=$(command -v ccache || true) "$root/scripts/build-encoders-mingw.sh" \
      "$triplet" "$root/build/encoders/$triplet" >"$logs/encoders-${triplet%%-*}.log" 2>&1 &
    encoders_pids+=($!)
  done
fi
"$root/scripts/install-packages.sh" test

jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build() {  # name, cmake arguments...
  local name=$1
  shift
  local log=$logs/$name.build.log
  echo "=== build $name"
  if cmake -S "$root" -B "$root/build/$name" -DCMAKE_BUILD_TYPE=Release -DIMVELA_WARNINGS_AS_ERRORS=ON \
       "${launcher[@]}" "$@" >"$log" 2>&1 &&
     cmake --build "$root/build/$name" -j"$((jobs + 1))" >>"$log" 2>&1; then
    return 0
  fi
  grep -E 'error|Error' "$log" | head -40
  echo "build failed" >"$logs/$name.result"
  return 1
}

# A virtual screen for one configuration's window tests, so that windows of two
# configurations never cover each other. Prints the display name; fails when none starts.
# -noreset: a server resets when its last client leaves and refuses connections meanwhile.
start_screen() {
  local candidate
  for _ in $(seq 20); do
    candidate=$((100 + RANDOM % 800))
    [ -e "/tmp/.X11-unix/X$candidate" ] || [ -e "/tmp/.X$candidate-lock" ] || break
  done
  Xvfb ":$candidate" -screen 0 1600x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  echo "$!" >"$logs/screen.$candidate.pid"
  for _ in $(seq 100); do
    if DISPLAY=":$candidate" xdpyinfo >/dev/null 2>&1; then
      echo ":$candidate"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

stop_screen() {  # display
  local number=${1#:}
  if [ -f "$logs/screen.$number.pid" ]; then
    kill "$(cat "$logs/screen.$number.pid")" 2>/dev/null || true
    rm -f "$logs/screen.$number.pid"
  fi
  rm -f "/tmp/.imvela-test-screen-$1"
}

# Runs one configuration's tests in the background; the result goes to $logs/NAME.result.
# Arguments: name, then a command prefix (environment, wrappers) ending in ctest's own
# arguments after "--".
tests_pids=()
run_tests() {
  local name=$1
  shift
  (
    started=$(date +%s)
    if ! display=$(start_screen); then
      echo "virtual screen did not start" >"$logs/$name.result"
      exit 0
    fi
    trap 'stop_screen "$display"' EXIT
    prefix=()
    while [ "$1" != -- ]; do prefix+=("$1"); shift; done
    shift
    cd "$root/build/$name"
    if [ -f bin/imvela_unit_tests.exe ]; then
      # One wineserver for the whole run: every test case is a Wine process of its own.
      WINEPREFIX=$(DISPLAY=$display "$root/scripts/wine-run.sh" --prepare bin/imvela_unit_tests.exe)
      export WINEPREFIX
      DISPLAY=$display wineserver -p
      # The session's service processes start with the first program and live as long as
      # the server: started here, they hold no test's output open.
      DISPLAY=$display "$root/scripts/wine-run.sh" bin/imvela_unit_tests.exe --gtest_list_tests \
        >/dev/null 2>&1 </dev/null || true
      trap 'wineserver -k 2>/dev/null || true; stop_screen "$display"' EXIT
    fi
    env DISPLAY="$display" IMVELA_TEST_SCREEN=required "${prefix[@]}" \
      ctest --output-on-failure --no-tests=error --timeout 120 "$@" >"$logs/$name.test.log" 2>&1 || true
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$logs/$name.test.log" | tail -1)
    echo "${summary:-ctest did not finish} ($(($(date +%s) - started)) s)" >"$logs/$name.result"
  ) &
  tests_pids+=($!)
}

unity=-DCMAKE_UNITY_BUILD=ON
# Wine processes wait on each other and on the wineserver: one more than the cores.
if wanted windows && build windows $unity -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"; then
  run_tests windows -- -j"$((jobs + 1))"
fi
if wanted win64 && build win64 $unity -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"; then
  run_tests win64 -- -j"$((jobs + 1))"
fi
if wanted native && build native -DIMVELA_BUILD_BENCH=ON -DIMVELA_UNITY_TESTS=ON; then run_tests native -- -j"$jobs"; fi
# The ThreadSanitizer tests take longest: they run while the last configuration builds.
if wanted tsan && build tsan $unity -DIMVELA_SANITIZE=thread; then
  # ThreadSanitizer needs the classic address-space layout on newer kernels.
  run_tests tsan TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 setarch "$(uname -m)" -R \
    -- -j"$jobs" -LE "single-thread|readers"
fi
if wanted asan && build asan $unity -DIMVELA_SANITIZE=address,undefined; then
  run_tests asan ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    -- -j"$jobs"
fi
for pid in "${tests_pids[@]}" "${encoders_pids[@]}"; do wait "$pid" || true; done

passed=0
failed=0
broken=()
for name in "${configurations[@]}"; do
  result=$(cat "$logs/$name.result" 2>/dev/null || echo "not run")
  echo "=== $name: $result"
  if [[ $result =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    if [ "${BASH_REMATCH[1]}" -ne 0 ]; then
      broken+=("$name")
      # The failed cases' output; passed cases are one line each.
      grep -vE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$logs/$name.test.log" | tail -200
    fi
  else
    broken+=("$name")
    [ -f "$logs/$name.test.log" ] && tail -50 "$logs/$name.test.log"
  fi
done
if [ ${#broken[@]} -ne 0 ]; then
  echo "FAILED: ${broken[*]}; $passed passed, $failed failed"
  exit 1
fi
echo "all configurations passed: $passed passed, $failed failed"
