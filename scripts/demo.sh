#!/usr/bin/env bash
# The main job: a sale through the automation object on the virtual printer, then the paper it
# printed. Builds what it needs (Release, native) and installs missing Debian packages first.
# ecrfisc runs each call script of `calls` in turn against one ecr-sim on a pseudo-terminal,
# showing every call and what it gave; the run exits 0 only when every call gave what its line
# says it should.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MOLVEX_BUILD_DIR:-$PWD/build}/demo

# The call scripts of the run, in order, against the same printer.
calls=(examples/sale.txt)
# The articles programmed in the printer before the run (examples/sale.txt sells 1 and 2).
articles=("1,А,1,12.50,Хлеб" "2,Б,1,30.00,Молоко")

bash scripts/install-deps.sh native
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_BENCH=OFF >/dev/null
cmake --build "$build" --target ecr-sim ecrfisc >/dev/null

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

sim_args=(--link "$work/ttyECR1" --paper "$work/paper.txt")
for a in "${articles[@]}"; do sim_args+=(--article "$a"); done
"$build/tools/sim/ecr-sim" "${sim_args[@]}" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -e "$work/ttyECR1" ] && break
  sleep 0.1
done
[ -e "$work/ttyECR1" ] || { cat "$work/sim.log"; echo "the virtual printer did not start"; exit 1; }

# COM1 is the virtual printer; the settings directory is empty (no ZRepRec.ini).
status=0
for script in "${calls[@]}"; do
  echo "--- $script (COM1 = $work/ttyECR1)"
  MOLVEXECR_COM1="$work/ttyECR1" MOLVEXECR_DIR="$work" \
    "$build/tools/ecrfisc/ecrfisc" --port 1 --speed 115200 --echo --script "$script" || status=1
  echo
done

echo "--- the paper roll"
cat "$work/paper.txt"
echo
if [ "$status" -eq 0 ]; then
  echo "every call gave what it should"
else
  echo "some call did not give what it should (NOT AS EXPECTED above)"
fi
exit "$status"
