#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for a bounded time from the committed seeds. Exits non-zero when a target crashes.
#   scripts/fuzz.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:?usage: scripts/fuzz.sh BUILD_DIR [SECONDS_PER_TARGET]}
seconds=${2:-${MOLVEX_FUZZ_SECONDS:-30}}
targets=(reply_fuzz frame_fuzz network_fuzz zdata_fuzz receipt_fuzz)

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DMOLVEX_SANITIZE=ON -DMOLVEX_FUZZ=ON -DMOLVEX_BENCH=OFF -DMOLVEX_WERROR=ON >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j"${MOLVEX_JOBS:-2}"

# The targets run side by side, as many at a time as there are build jobs: each gets its whole
# time, and what each found is printed in the order of the list once all have ended.
run_target() {  # run_target TARGET: its outcome in $build/fuzz/TARGET/outcome
  local target=$1 seeds=$root/tests/fuzz/corpus/${1%_fuzz} work=$build/fuzz/$1
  mkdir -p "$work/corpus" "$work/artifacts"
  # New inputs go to the work corpus; the committed seeds are only read.
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    "$work/corpus" "$seeds" >"$work/log" 2>&1; then
    echo ok >"$work/outcome"
  else
    echo failed >"$work/outcome"
  fi
}

parallel=${MOLVEX_JOBS:-2}
running=0
for target in "${targets[@]}"; do
  rm -f "$build/fuzz/$target/outcome"
  echo "--- $target: ${seconds} s"
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

status=0
for target in "${targets[@]}"; do
  work=$build/fuzz/$target
  if [ "$(cat "$work/outcome" 2>/dev/null)" = ok ]; then
    grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
    echo "--- $target: ok"
  else
    echo "--- $target: FAILED (log $work/log)"
    tail -40 "$work/log"
    status=1
  fi
done
exit $status
