#!/usr/bin/env bash
# The main job: a day at the till on the virtual printer, through the automation object. A sale,
# then the day closed with an X and a Z report; then the paper the printer printed, and what the
# Z report left on disk: the settings file, the archive file, the info log and the mark of the
# uploader the driver started. Builds what it needs (Release, native) and installs missing Debian
# packages first. ecrfisc runs each call script of `calls` in turn against one ecr-sim on a
# pseudo-terminal, showing every call and what it gave; the run exits 0 only when every call
# gave what its line says it should. Then the print service: ecr-service on the same virtual
# printer sells examples/receipt.json, posted with curl, and shows the reply, the same request
# answered again from its journal, and the paper it printed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MOLVEX_BUILD_DIR:-$PWD/build}/demo

# The call scripts of the run, in order, against the same printer.
calls=(examples/sale.txt examples/close-day.txt)
# The articles programmed in the printer before the run (examples/sale.txt sells 1 and 2).
articles=("1,А,1,12.50,Хлеб" "2,Б,1,30.00,Молоко")

bash scripts/install-deps.sh native
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_BENCH=OFF >/dev/null
cmake --build "$build" --target ecr-sim ecrfisc ecr-service >/dev/null

work=$(mktemp -d)
sim_pid=
service_pid=
cleanup() {
  [ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The settings directory (C:\ECR on Windows): the example settings file, which leaves LocalPath
# to its default, the settings directory itself; there too the stand-in for the uploader.
settings=$work/ECR
mkdir -p "$settings"
cp examples/ZRepRec.ini "$settings/"
install -m 755 examples/archsend-standin.sh "$settings/ArchSend.exe"

sim_args=(--link "$work/ttyECR1" --paper "$work/paper.txt")
for a in "${articles[@]}"; do sim_args+=(--article "$a"); done
"$build/sim/ecr-sim" "${sim_args[@]}" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -e "$work/ttyECR1" ] && break
  sleep 0.1
done
[ -e "$work/ttyECR1" ] || { cat "$work/sim.log"; echo "the virtual printer did not start"; exit 1; }

# COM1 is the virtual printer. A script that opens the port itself is run as it stands.
status=0
for script in "${calls[@]}"; do
  echo "--- $script (COM1 = $work/ttyECR1)"
  port=(--port 1 --speed 115200)
  if grep -q '^SetComPort' "$script"; then port=(); fi
  MOLVEXECR_COM1="$work/ttyECR1" MOLVEXECR_DIR="$settings" \
    "$build/tools/ecrfisc/ecrfisc" "${port[@]}" --echo --script "$script" || status=1
  echo
done

echo "--- the paper roll"
cat "$work/paper.txt"
echo

# The print service on the same printer: its settings, started, one receipt posted with curl.
service_port=${MOLVEX_SERVICE_PORT:-8719}
cat >"$work/ecr-service.ini" <<EOF
[service]
port = $service_port
journal = $work/journal.sqlite

[printer:1]
port = 1
device = $work/ttyECR1
speed = 115200
paper = $work/paper.txt
EOF
echo "--- ecr-service --settings $work/ecr-service.ini"
cat "$work/ecr-service.ini"
paper_before=$(wc -c <"$work/paper.txt")
MOLVEXECR_DIR="$settings" "$build/service/ecr-service" --settings "$work/ecr-service.ini" \
  >"$work/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$service_port/v1/printers" && break
  sleep 0.1
done
base=http://127.0.0.1:$service_port/v1/printers/1
key="demo-$(date +%s)"
echo
echo "--- curl -X POST $base/receipts -H 'Idempotency-Key: $key' --data @examples/receipt.json"
reply=$(curl -s -w '\nHTTP %{http_code}' -X POST "$base/receipts" \
  -H 'Content-Type: application/json' -H "Idempotency-Key: $key" --data @examples/receipt.json) ||
  reply="no answer: $(cat "$work/service.log")"
echo "$reply"
case "$reply" in *'"total":"150.00"'*'HTTP 200') ;; *) status=1 ;; esac
echo
echo "--- the same request again (a till that lost the reply): answered from the journal"
curl -s -i -X POST "$base/receipts" -H 'Content-Type: application/json' \
  -H "Idempotency-Key: $key" --data @examples/receipt.json | tr -d '\r' |
  grep -E '^(HTTP|Idempotent|\{)' || status=1
echo
echo "--- the paper the service printed"
tail -c +"$((paper_before + 1))" "$work/paper.txt"
echo

# What the Z report left. The driver writes its files in the printer's code page, Windows-1251.
utf8() { iconv -f CP1251 -t UTF-8 "$1"; }
echo "--- the settings file $settings/ZRepRec.ini (without its comments)"
grep -v '^;' "$settings/ZRepRec.ini" | grep -v '^$'
echo
archives=("$settings"/*.zre)
if [ -e "${archives[0]}" ]; then
  for f in "${archives[@]}"; do
    echo "--- the archive file $f"
    utf8 "$f"
    echo
  done
else
  echo "--- no archive file was written"
  status=1
fi
echo "--- the info log $settings/infoZ.log"
if [ -e "$settings/infoZ.log" ]; then utf8 "$settings/infoZ.log"; else echo "(none)"; status=1; fi
echo
# The uploader runs on its own; its mark follows shortly.
for _ in $(seq 50); do
  [ -s "$settings/ArchSend.log" ] && break
  sleep 0.1
done
echo "--- the stand-in uploader $settings/ArchSend.exe"
if [ -s "$settings/ArchSend.log" ]; then cat "$settings/ArchSend.log"; else echo "(not started)"; status=1; fi
echo
if [ "$status" -eq 0 ]; then
  echo "every call gave what it should"
else
  echo "something did not go as it should (NOT AS EXPECTED or a missing file above)"
fi
exit "$status"
