#!/usr/bin/env bash
# The main job: a sale and a Z report on the virtual printer, then the paper it printed.
# Builds what it needs (Release, native) and installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MOLVEX_BUILD_DIR:-$PWD/build}/demo

bash scripts/install-deps.sh native
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_BENCH=OFF >/dev/null
cmake --build "$build" --target ecr-sim ecr-demo >/dev/null

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/sim/ecr-sim" --link "$work/ttyECR1" --paper "$work/paper.txt" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -e "$work/ttyECR1" ] && break
  sleep 0.1
done
[ -e "$work/ttyECR1" ] || { cat "$work/sim.log"; echo "the virtual printer did not start"; exit 1; }

echo "--- the exchange with the printer (COM1 = $work/ttyECR1)"
MOLVEXECR_COM1="$work/ttyECR1" "$build/tools/demo/ecr-demo" 1 115200
echo
echo "--- the paper roll"
cat "$work/paper.txt"
