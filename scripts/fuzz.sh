#!/usr/bin/env bash
# Fuzzes every parser of outside data (tests/fuzz) with clang's libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/fuzz.sh [SECONDS [TARGET...]]   SECONDS in all (default 600), shared by the
#                                           targets named (default: all)
# Each target starts from its kept corpus (tests/fuzz/corpus/TARGET); what it finds is merged
# back into a minimised corpus, and every failing input is kept in tests/fuzz/crashes/TARGET,
# where the test command replays it. It runs at a low priority so other work keeps its cores.
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-600}
targets=(settings_values configuration_file emulator_environment avi)
[ $# -gt 1 ] && targets=("${@:2}")
"$(dirname "$0")/install-packages.sh" fuzz

build=build/fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DIMVELA_SANITIZE=address,undefined -DIMVELA_FUZZ=ON -DCMAKE_UNITY_BUILD=ON "${launcher[@]}" >/dev/null
nice -n 10 cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null

each=$((total / ${#targets[@]}))
report=()
for t in "${targets[@]}"; do
  corpus=tests/fuzz/corpus/$t crashes=tests/fuzz/crashes/$t work=$build/work/$t log=$build/$t.log
  mkdir -p "$corpus" "$crashes" "$work"
  # The settings store reads 64 KiB of a file: inputs may pass that.
  max_len=4096
  [ "$t" = settings_values ] && max_len=70000
  status=0
  nice -n 10 "$build/bin/fuzz_$t" -max_total_time="$each" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$work" "$corpus" >"$log" 2>&1 || status=$?
  # Keep a minimised corpus: the inputs that reach coverage no other input reaches.
  rm -rf "$corpus.new" && mkdir "$corpus.new"
  nice -n 10 "$build/bin/fuzz_$t" -merge=1 -max_len="$max_len" "$corpus.new" "$corpus" "$work" >>"$log" 2>&1 || true
  rm -rf "$corpus" && mv "$corpus.new" "$corpus"
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  kept=$(ls "$corpus" | wc -l)
  crashed=$(ls "$crashes" | wc -l)
  report+=("$t: ${runs:-0} runs in ${each} s, ${cov:-no coverage line}, corpus ${kept} files ($(du -sh "$corpus" | cut -f1)), failing inputs kept ${crashed}, exit ${status}")
done
printf '%s\n' "${report[@]}"
