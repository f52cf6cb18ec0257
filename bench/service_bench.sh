#!/usr/bin/env bash
# Print service benchmark (run by hand, never a test), against ecr-sim at 115200 baud with no busy
# time on a pseudo-terminal:
#   1. a ten-line receipt (ten articles, a subtotal, the rest in cash) posted to ecr-service with
#      curl: its elapsed time against the wire time of its bytes, with the journal on the disk of
#      the work folder and on /dev/shm (memory: the difference is the journal's commits), beside
#      the same sale through ecrfisc;
#   2. 50 clients posting 4 receipts each, at once, to one printer: every receipt printed once
#      (the printer's receipt numbers and its paper), each client's receipts in the order it sent
#      them (the journal's order), the service's peak resident memory, and the 50th and 99th
#      percentile of the time a job waited in the queue (admitted -> its first step);
#   3. four printers (four ecr-sim) on one service, a receipt posted to each at once: the time of
#      all four against the time of one alone (each printer has its own worker and link).
# Usage: bash bench/service_bench.sh [RUNS] (default 5); MOLVEX_BUILD_DIR as for scripts/demo.sh,
# whose Release build it shares; MOLVEX_WORK_DIR: where the on-disk journal goes (default /var/tmp).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
baud=115200
build=${MOLVEX_BUILD_DIR:-$PWD/build}/demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_BENCH=OFF >/dev/null
cmake --build "$build" --target ecr-sim ecrfisc ecr-service >/dev/null

work=$(mktemp -d "${MOLVEX_WORK_DIR:-/var/tmp}/service-bench.XXXXXX")
shm=$(mktemp -d /dev/shm/service-bench.XXXXXX)
sim_pid=
service_pid=
cleanup() {
  [ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work" "$shm"
}
trap cleanup EXIT
port=${MOLVEX_SERVICE_PORT:-18731}

sim_args=(--link "$work/tty" --baud "$baud" --busy-scale 0 --control "$work/control"
  --paper "$work/paper.txt")
lines=
for n in $(seq 10); do
  sim_args+=(--article "$n,А,1,$n.00,ARTICLE $n")
  lines+="{\"type\":\"article\",\"article\":$n},"
done
receipt="{\"kind\":\"sale\",\"lines\":[${lines}{\"type\":\"subtotal\"}],\"payments\":[{\"type\":\"cash\"}]}"
{
  echo 'OpenFiscReceipt 1 1 "" => Result = true'
  for n in $(seq 10); do echo "SellArtCash true $n 1 0 0 => Result = true"; done
  echo 'SubTotalDS true false 0 0 => Result = true'
  echo 'Payment 0 0 => Result = true'
  echo 'CloseFiscReceipt => Result = true'
} >"$work/sale.txt"

start_sim() {
  rm -f "$work/tty" "$work/paper.txt"
  "$build/sim/ecr-sim" "${sim_args[@]}" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
}
# Asks ecr-sim for its counts and waits for the new line.
sim_stats() {
  local before
  before=$(grep -c ' requests' "$work/sim.err" || true)
  echo stats >>"$work/control"
  for _ in $(seq 200); do
    [ "$(grep -c ' requests' "$work/sim.err" || true)" -gt "$before" ] && break
    sleep 0.02
  done
}
stop_sim() {  # prints the bytes both ways
  sim_stats
  kill -TERM "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=
  sed -nE 's/.*: ([0-9]+) bytes in, ([0-9]+) bytes out, ([0-9]+) requests.*/\1 \2 \3/p' "$work/sim.err" |
    tail -1
}
start_service() {  # the journal's folder
  rm -f "$1"/journal.sqlite*
  printf '[service]\nport = %s\njournal = %s/journal.sqlite\nqueue_limit = 1000\n[printer:1]\nport = 1\ndevice = %s\nspeed = %s\n' \
    "$port" "$1" "$work/tty" "$baud" >"$work/service.ini"
  MOLVEXECR_DIR="$work" "$build/service/ecr-service" --settings "$work/service.ini" \
    >"$work/service.log" 2>&1 &
  service_pid=$!
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/v1/printers" && break; sleep 0.05; done
  # The port opened and the printer read once, as a till's first call would.
  curl -s -o /dev/null "http://127.0.0.1:$port/v1/printers/1/status"
}
stop_service() {
  kill -TERM "$service_pid"
  wait "$service_pid" || true
  service_pid=
}
post() {  # key; prints the elapsed milliseconds
  curl -s -o "$work/reply.json" -w '%{time_total}' -X POST "http://127.0.0.1:$port/v1/printers/1/receipts" \
    -H 'Content-Type: application/json' -H "Idempotency-Key: $1" --data "$receipt" |
    awk '{ printf "%.3f", $1 * 1000 }'
  grep -q '"receipt"' "$work/reply.json" || { cat "$work/reply.json" >&2; return 1; }
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"
echo "1. a ten-line receipt, $runs runs each"
printf '%-22s %10s %10s %8s\n' way elapsed wire ratio
for way in disk memory ecrfisc; do
  ratios=()
  for run in $(seq "$runs"); do
    start_sim
    if [ "$way" = ecrfisc ]; then
      s=$EPOCHREALTIME
      MOLVEXECR_COM1="$work/tty" MOLVEXECR_DIR="$work" "$build/tools/ecrfisc/ecrfisc" --port 1 \
        --speed "$baud" --script "$work/sale.txt" >/dev/null
      elapsed=$(awk -v s="$s" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.3f", (e - s) * 1000 }')
      read -r i o q < <(stop_sim)
    else
      if [ "$way" = disk ]; then start_service "$work"; else start_service "$shm"; fi
      sim_stats
      read -r i0 o0 _ < <(sed -nE 's/.*: ([0-9]+) bytes in, ([0-9]+) bytes out, ([0-9]+) requests.*/\1 \2 \3/p' "$work/sim.err" | tail -1)
      elapsed=$(post "bench-$way-$run")
      stop_service
      read -r i o q < <(stop_sim)
      i=$((i - i0)) o=$((o - o0))
    fi
    ratios+=("$(awk -v t="$elapsed" -v i="$i" -v o="$o" -v b="$baud" 'BEGIN {
      w = (i + o) * 10 * 1000 / b; printf "%.3f %.1f %.1f", t / w, t, w }')")
  done
  printf '%s\n' "${ratios[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p" |
    awk -v way="$way" '{ printf "%-22s %7.1f ms %7.1f ms %8.3f (median)\n", (way == "ecrfisc" ? "ecrfisc" : "service, journal " way), $2, $3, $1 }'
done

echo "2. 50 clients, 4 receipts each, at once, one printer"
start_sim
start_service "$work"
for c in $(seq 50); do
  (for k in 1 2 3 4; do post "c$c-$k" >/dev/null || echo "c$c-$k failed"; done) &
done
wait_clients() { for p in $(jobs -p); do [ "$p" = "$service_pid" ] || [ "$p" = "$sim_pid" ] || wait "$p"; done; }
wait_clients
peak=$(awk '/VmHWM/ { print $2 / 1024 }' "/proc/$service_pid/status")
curl -s "http://127.0.0.1:$port/v1/jobs?limit=1000" >"$work/jobs.json"
printed=$(grep -c 'FISCAL RECEIPT' "$work/paper.txt" || true)
# The journal's jobs in its order: key, receipt number.
grep -oE '"key":"c[0-9]+-[0-9]"[^}]*"receipt":[0-9]+' "$work/jobs.json" |
  sed -E 's/"key":"(c[0-9]+)-([0-9])".*"receipt":([0-9]+)/\1 \2 \3/' | grep -v '^c$' >"$work/order.txt" || true
numbers=$(awk '{ print $3 }' "$work/order.txt" | sort -n | uniq | wc -l)
out_of_order=$(awk '{ if (($1 in last) && $2 < last[$1]) bad++; last[$1] = $2 } END { print bad + 0 }' "$work/order.txt")
for c in $(seq 50); do for k in 1 2 3 4; do
  curl -s "http://127.0.0.1:$port/v1/jobs/c$c-$k" |
    grep -oE '"created":"[^"]*"|"at":"[^"]*"' | head -2 | sed -E 's/.*T([0-9]+):([0-9]+):([0-9.]+)Z"/\1 \2 \3/' |
    awk '{ t[NR] = ($1 * 3600 + $2 * 60 + $3) * 1000 } END { if (NR == 2) printf "%.1f\n", (t[1] > t[2] ? t[1] - t[2] : t[2] - t[1]) }'
done; done | sort -n >"$work/waits.txt"
echo "receipts on the paper: $printed; distinct receipt numbers in the journal: $numbers of $(wc -l <"$work/order.txt") jobs; clients' receipts out of their order: $out_of_order"
awk '{ v[NR] = $1 } END { printf "queue waiting time: p50 %.0f ms, p99 %.0f ms (%d jobs)\n", v[int(NR * 0.5 + 0.5)], v[int(NR * 0.99 + 0.5)], NR }' "$work/waits.txt"
echo "peak resident memory of ecr-service: ${peak} MiB"
stop_service
stop_sim >/dev/null

echo "3. four printers at once"
four_pids=()
for n in 1 2 3 4; do
  rm -f "$work/tty$n"
  "$build/sim/ecr-sim" --link "$work/tty$n" --baud "$baud" --busy-scale 0 \
    "${sim_args[@]:10}" >/dev/null 2>&1 &
  four_pids+=($!)
done
for n in 1 2 3 4; do for _ in $(seq 100); do [ -e "$work/tty$n" ] && break; sleep 0.05; done; done
rm -f "$work"/journal.sqlite*
{
  printf '[service]\nport = %s\njournal = %s/journal.sqlite\n' "$port" "$work"
  for n in 1 2 3 4; do
    printf '[printer:%s]\nport = %s\ndevice = %s\nspeed = %s\n' "$n" "$n" "$work/tty$n" "$baud"
  done
} >"$work/service.ini"
MOLVEXECR_DIR="$work" "$build/service/ecr-service" --settings "$work/service.ini" >"$work/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/v1/printers" && break; sleep 0.05; done
for n in 1 2 3 4; do curl -s -o /dev/null "http://127.0.0.1:$port/v1/printers/$n/status"; done
post_to() {  # printer, key: the elapsed milliseconds
  curl -s -o /dev/null -w '%{time_total}' -X POST "http://127.0.0.1:$port/v1/printers/$1/receipts" \
    -H 'Content-Type: application/json' -H "Idempotency-Key: $2" --data "$receipt" |
    awk '{ printf "%.1f", $1 * 1000 }'
}
alone=()
together=()
for run in $(seq "$runs"); do
  alone+=("$(post_to 1 "alone-$run")")
  s=$EPOCHREALTIME
  posts=()
  for n in 1 2 3 4; do
    post_to "$n" "four-$run-$n" >/dev/null &
    posts+=($!)
  done
  wait "${posts[@]}"
  together+=("$(awk -v s="$s" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.1f", (e - s) * 1000 }')")
done
stop_service
for p in "${four_pids[@]}"; do kill "$p" 2>/dev/null || true; done
echo "one receipt on one printer: median $(printf '%s\n' "${alone[@]}" | median) ms; one on each of four at once: median $(printf '%s\n' "${together[@]}" | median) ms ($runs runs)"
