#!/usr/bin/env bash
# Wire benchmark (run by hand, never a test): a ten-line sale through the automation object
# (ecrfisc) against the virtual printer at 115200 baud on a pseudo-terminal. The sale is
# OpenFiscReceipt, ten SellArtCash, SubTotalDS, Payment and CloseFiscReceipt: 29 transactions
# with the status reads. Each run times the whole ecrfisc process (start, port, calls, end);
# ecr-sim counts the bytes exchanged both ways, and their wire time at 115200 baud 8N1 is
# 10 bits a byte. Prints every run and the median ratio of elapsed to wire time, then where the
# rest goes: the start of ecrfisc with its port open and no call (median of as many runs), and
# what is left for each transaction beyond its bytes' wire time.
# With --trace the same sale runs once more in every run with the protocol trace on
# (ecrfisc --trace), and its median ratio is printed beside the one without, with the median of
# the differences run by run (each traced sale against the untraced one just before it).
# Usage: bash bench/wire_bench.sh [RUNS] [--trace] (default 5 runs); MOLVEX_BUILD_DIR as for
# scripts/demo.sh, whose Release build it shares.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=5
traced=
for arg in "$@"; do
  case $arg in
    --trace) traced=1 ;;
    *) runs=$arg ;;
  esac
done
baud=115200
build=${MOLVEX_BUILD_DIR:-$PWD/build}/demo

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_BENCH=OFF >/dev/null
cmake --build "$build" --target ecr-sim ecrfisc >/dev/null
sim=$build/sim/ecr-sim
ecrfisc=$build/tools/ecrfisc/ecrfisc

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

sim_args=(--link "$work/tty" --baud "$baud" --busy-scale 0 --control "$work/control")
{
  echo 'OpenFiscReceipt 1 1 "" => Result = true'
  for n in $(seq 10); do
    echo "SellArtCash true $n 1 0 0 => Result = true"
    sim_args+=(--article "$n,А,1,$n.00,ARTICLE $n")
  done
  echo 'SubTotalDS true false 0 0 => Result = true'
  echo 'Payment 0 0 => Result = true'
  echo 'CloseFiscReceipt => Result = true'
} >"$work/sale.txt"

# Times one ecrfisc run on the script given (further ecrfisc options after it); prints the
# elapsed milliseconds.
timed_ecrfisc() {
  local start end script=$1
  shift
  start=$EPOCHREALTIME
  if ! MOLVEXECR_COM1="$work/tty" MOLVEXECR_DIR="$work" \
    "$ecrfisc" --port 1 --speed "$baud" "$@" --script "$script" >"$work/ecrfisc.out"; then
    cat "$work/ecrfisc.out" >&2
    echo "ecrfisc failed on $script" >&2
    return 1
  fi
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) * 1000 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"
printf '%-4s %10s %8s %8s %10s %8s\n' run elapsed requests bytes wire ratio
results=()
startups=()
traced_times=()
plain_times=()
wires=()
for run in $(seq "$runs"); do
  # A fresh printer each run, so that its counts are those of this sale alone.
  rm -f "$work/tty"
  "$sim" "${sim_args[@]}" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
  [ -e "$work/tty" ] || { cat "$work/sim.err"; echo "ecr-sim did not start"; exit 1; }

  elapsed=$(timed_ecrfisc "$work/sale.txt")
  plain_times+=("$elapsed")
  if [ -n "$traced" ]; then
    # The same sale again with the trace on; the printer counts both, each half the bytes.
    rm -f "$work/trace.log"
    traced_times+=("$(timed_ecrfisc "$work/sale.txt" --trace "$work/trace.log")")
  fi
  echo stats >>"$work/control"
  for _ in $(seq 100); do grep -q ' requests' "$work/sim.err" && break; sleep 0.02; done
  # The start alone: the process with its port open, no call.
  startups+=("$(timed_ecrfisc /dev/null)")

  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=
  read -r bytes_in bytes_out requests < <(sed -nE 's/.*: ([0-9]+) bytes in, ([0-9]+) bytes out, ([0-9]+) requests.*/\1 \2 \3/p' "$work/sim.err")
  if [ -n "$traced" ]; then
    bytes_in=$((bytes_in / 2)) bytes_out=$((bytes_out / 2)) requests=$((requests / 2))
    wires+=("$(awk -v i="$bytes_in" -v o="$bytes_out" -v b="$baud" 'BEGIN { print (i + o) * 10 * 1000 / b }')")
  fi
  line=$(awk -v t="$elapsed" -v i="$bytes_in" -v o="$bytes_out" -v q="$requests" -v b="$baud" -v r="$run" 'BEGIN {
    wire = (i + o) * 10 * 1000 / b
    printf "%-4d %7.1f ms %8d %8d %7.1f ms %8.3f", r, t, q, i + o, wire, t / wire }')
  echo "$line"
  results+=("$line")
done

median_line=$(printf '%s\n' "${results[@]}" | sort -n -k8 | sed -n "$(((runs + 1) / 2))p")
startup=$(printf '%s\n' "${startups[@]}" | median)
echo "$median_line" | awk -v n="$runs" -v s="$startup" '{
  printf "median of %d runs: elapsed %s ms, wire %s ms (%s bytes), ratio %s (target <= 1.05)\n", n, $2, $6, $5, $8
  printf "start of ecrfisc with its port open, no call: %.1f ms; left per transaction beyond its wire time: %.0f us (%d transactions)\n", s, ($2 - s - $6) * 1000 / $4, $4 }'
if [ -n "$traced" ]; then
  printf '%s\n' "${traced_times[@]}" | paste - <(printf '%s\n' "${wires[@]}") |
    awk '{ print $1 / $2, $1 }' | sort -n | awk -v n="$runs" '{ r[NR] = $1; t[NR] = $2 } END {
      m = int((NR + 1) / 2)
      printf "with the trace on, median of %d runs: elapsed %.1f ms, ratio %.3f (runs %.3f to %.3f)\n", n, t[m], r[m], r[1], r[NR] }'
  printf '%s\n' "${traced_times[@]}" | paste - <(printf '%s\n' "${plain_times[@]}") |
    awk '{ print $1 - $2 }' | sort -n | awk '{ d[NR] = $1 } END {
      printf "trace on minus off, run by run: median %.2f ms (%.2f to %.2f)\n", d[int((NR + 1) / 2)], d[1], d[NR] }'
  echo "trace of the last run: $(wc -l <"$work/trace.log") lines, $(wc -c <"$work/trace.log") bytes"
fi
