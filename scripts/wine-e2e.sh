#!/usr/bin/env bash
# End-to-end tests of the Windows server under Wine, against the virtual printer on COM1.
# Usage: scripts/wine-e2e.sh [MINGW_BUILD_DIR] [NATIVE_BUILD_DIR] [MINGW32_BUILD_DIR]
#   MINGW_BUILD_DIR   cross-build with server/MolvexECR.exe, installer/MolvexECR.msi and
#                     tests/wine/*.exe (default build/mingw)
#   NATIVE_BUILD_DIR  native build with sim/ecr-sim, tests/wine/com_tap,
#                     tests/idl/slot_dump and tests/idl/itable_dump (default build/native)
#   MINGW32_BUILD_DIR 32-bit cross-build with server/MolvexECR.exe and the 32-bit clients
#                     tests/wine/{early_client,dispatch_client,tlb_dump}.exe (default build/mingw32)
# Builds nothing. Creates a fresh headless Wine prefix under MINGW_BUILD_DIR/wine-e2e, maps COM1
# to the pseudo-terminal of ecr-sim, runs every client with a time-out and ends every Wine
# process it started (wineserver -k) on the way out, also on failure.
# Environment: MOLVEX_WINE_CASES="churn examples" runs only the named cases (names in
# tests/wine/cases.sh, a name may repeat); MOLVEX_WINEDEBUG sets WINEDEBUG for every Wine process
# (default -all,err+all; e.g. -all,err+all,+ole to see Wine's COM, written to $run/<client>.err);
# MOLVEX_WINE_TIMEOUT the seconds for any one client (default 60).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mingw=$(realpath -m "${1:-${MOLVEX_MINGW_BUILD:-$root/build/mingw}}")
native=$(realpath -m "${2:-${MOLVEX_NATIVE_BUILD:-$root/build/native}}")
mingw32=$(realpath -m "${3:-${MOLVEX_MINGW32_BUILD:-$root/build/mingw32}}")
limit=${MOLVEX_WINE_TIMEOUT:-60}  # seconds for any one Wine client

exe=$mingw/server/MolvexECR.exe
tools=$mingw/tests/wine
sim=$native/sim/ecr-sim
tap=$native/tests/wine/com_tap
slot_dump=$native/tests/idl/slot_dump
dump_table=$native/tests/idl/itable_dump
win_sim=$mingw/sim/ecr-sim.exe
exe32=$mingw32/server/MolvexECR.exe
tools32=$mingw32/tests/wine
msi=$mingw/installer/MolvexECR.msi
for f in "$exe" "$tools/tlb_dump.exe" "$tools/early_client.exe" "$tools/close_server.exe" \
  "$tools/dispatch_client.exe" "$sim" "$tap" "$slot_dump" "$win_sim" "$exe32" \
  "$tools32/early_client.exe" "$tools32/dispatch_client.exe" "$tools32/tlb_dump.exe"; do
  [ -x "$f" ] || { echo "missing: $f (build it first)"; exit 1; }
done
[ -f "$msi" ] || { echo "missing: $msi (build it first)"; exit 1; }
{ command -v wine && command -v wineserver; } >/dev/null || { echo "wine is missing"; exit 1; }
# With 32-bit Wine installed, "wine" starts the 32-bit build of Wine's own programs (cscript,
# reg); the 64-bit loader starts the 64-bit ones.
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine)
[ -x /usr/lib/wine/wine ] || { echo "32-bit Wine (wine32:i386) is missing"; exit 1; }
command -v socat >/dev/null || { echo "socat is missing"; exit 1; }

run=$mingw/wine-e2e
rm -rf "$run"
mkdir -p "$run"

# 32-bit programs. Some kernels run 64-bit programs only ("Exec format error" for any i386
# program, Wine's 32-bit loader among them); Debian's "wine" then fails for every program, since
# it picks the 32-bit loader whenever wine32 is installed. On such a machine, and when
# MOLVEX_WINE_NO32=1 asks for it on any other (to try this path anywhere:
# MOLVEX_WINE_NO32=1 bash scripts/test.sh), every Wine program goes through the 64-bit loader
# ("wine" and "wine-stable", which wineboot, regedit and msiexec call, first on PATH), and each
# case that needs a 32-bit program is reported as skipped with the reason; nothing else is.
can32=1
why32=
if [ "${MOLVEX_WINE_NO32:-}" = 1 ]; then
  can32=0
  why32="MOLVEX_WINE_NO32=1 asks for the 64-bit-only path"
elif ! /usr/lib/wine/wine --version >"$run/wine32-probe.log" 2>&1; then
  can32=0
  why32="this machine cannot run 32-bit programs"
fi
if [ $can32 = 0 ]; then
  [ -x /usr/lib/wine/wine64 ] || { echo "64-bit Wine (wine64) is missing"; exit 1; }
  probe=$(head -1 "$run/wine32-probe.log" 2>/dev/null)
  echo "32-bit cases skipped: $why32${probe:+ ($probe)}"
  mkdir -p "$run/bin64"
  for w in wine wine-stable; do
    printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64\nexport WINELOADER\nexec /usr/lib/wine/wine64 "$@"\n' \
      >"$run/bin64/$w"
    chmod +x "$run/bin64/$w"
  done
  export PATH=$run/bin64:$PATH
  wine64=/usr/lib/wine/wine64
fi
bash "$root/scripts/make-locales.sh" "$mingw/wine-locale" || { echo "cannot build the ru_RU.UTF-8 locale"; exit 1; }

# Wine reads the ANSI code page from the locale it starts under: ru_RU gives Windows-1251.
export LOCPATH=$mingw/wine-locale
for v in $(env | grep -o '^LC_[A-Z_]*'); do unset "$v"; done
export LANG=ru_RU.UTF-8
export WINEPREFIX=$run/prefix WINEARCH=win64 WINEDEBUG=${MOLVEX_WINEDEBUG:--all,err+all} WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

sim_pid=
tap_pid=
pair_pid=
cleanup() {
  wineserver -k 2>/dev/null
  [ -z "$pair_pid" ] || kill "$pair_pid" 2>/dev/null
  [ -z "$tap_pid" ] || kill "$tap_pid" 2>/dev/null
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null
  [ -z "${com2_pid:-}" ] || kill "$com2_pid" 2>/dev/null  # a case's own printer on COM2
  wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0
failed=0
skipped=0
ok() { passed=$((passed + 1)); echo "ok   $1"; }
bad() { failed=$((failed + 1)); echo "FAIL $1"; [ -z "${2:-}" ] || sed 's/^/     | /' "$2" | tail -25; }
skip() { skipped=$((skipped + 1)); echo "skip $1: $2"; }  # skip LABEL REASON
# needs32 LABEL...: true where 32-bit programs run; elsewhere each LABEL is reported as skipped.
needs32() {
  [ $can32 = 1 ] && return 0
  local label
  for label in "$@"; do skip "$label" "$why32"; done
  return 1
}

# The automation servers of the run write every entry they serve to one protocol trace, from
# which case_every_slot counts the slots called through COM. A server takes MOLVEXECR_TRACE from
# the client whose activation starts it; a program that carries the object itself (ecrfisc.exe,
# the in-process client: any Windows program of the run with the trace's code in it) is started
# without it, so calls inside a test process never count. A case that sets MOLVEXECR_TRACE itself
# keeps its value (MOLVEXECR_TRACE= wrun ...: no trace from the environment, as a [Trace] section
# in ZRepRec.ini needs).
unset MOLVEXECR_TRACE
com_trace=$run/com-calls.log
carries_object() {  # carries_object PROGRAM: a program under C:\ whose file holds the object
  local file=$1
  case $file in
    [Cc]:\\*) file=$c/${file:3} ;;
    *) return 1 ;;
  esac
  file=${file//\\//}
  [ -f "$file" ] && LC_ALL=C grep -qaF MOLVEXECR_TRACE "$file"
}

# Runs a Wine program with the time-out; its output goes to $run/<name>.out. The loader is
# "wine" unless $loader names another (loader=$wine64 wrun ...).
wrun() {  # wrun NAME PROGRAM ARGS...
  local name=$1 trace="Z:${com_trace//\//\\}"
  shift
  ! carries_object "$1" || trace=
  MOLVEXECR_TRACE=${MOLVEXECR_TRACE-$trace} \
    timeout -k 5 "$limit" "${loader:-wine}" "$@" >"$run/$name.out" 2>"$run/$name.err"
}

# --- virtual printer, prefix, COM1 -----------------------------------------------------------
"$sim" --link "$run/ttyECR1" --control "$run/sim-control" --paper "$run/paper.txt" \
  --busy-scale 0 >"$run/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$run/ttyECR1" ] && break; sleep 0.1; done
[ -e "$run/ttyECR1" ] || { cat "$run/sim.log"; echo "the virtual printer did not start"; exit 1; }
# COM1 is a tap in front of the printer that records every byte the host sends.
host_bytes=$run/host-bytes.bin
"$tap" "$run/ttyCOM1" "$run/ttyECR1" "$host_bytes" >"$run/tap.log" 2>&1 &
tap_pid=$!
for _ in $(seq 50); do [ -e "$run/ttyCOM1" ] && break; sleep 0.1; done
[ -e "$run/ttyCOM1" ] || { cat "$run/tap.log"; echo "the COM1 tap did not start"; exit 1; }
# COM3 and COM4 are the two ends of a null-modem pair: the Windows build of the virtual printer
# serves COM4, the server reaches it on COM3.
socat pty,raw,echo=0,link="$run/ttyCOM3" pty,raw,echo=0,link="$run/ttyCOM4" >"$run/pair.log" 2>&1 &
pair_pid=$!
for _ in $(seq 50); do [ -e "$run/ttyCOM3" ] && [ -e "$run/ttyCOM4" ] && break; sleep 0.1; done
[ -e "$run/ttyCOM4" ] || { cat "$run/pair.log"; echo "the COM3-COM4 pair did not start"; exit 1; }

wineserver -k 2>/dev/null  # a wineserver of another locale would keep its code page
# Now and then the first start of a new prefix finds the address of the shared user data taken
# ("failed to map the shared user data"); such a start is retried once in a new prefix.
boot_prefix() {
  timeout 180 wineboot -i >"$run/wineboot.log" 2>&1
}
if ! boot_prefix; then
  grep -q "failed to map the shared user data" "$run/wineboot.log" || {
    tail "$run/wineboot.log"
    echo "wineboot failed"
    exit 1
  }
  echo "wineboot: the shared user data could not be mapped; once more in a new prefix"
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  boot_prefix || { tail "$run/wineboot.log"; echo "wineboot failed"; exit 1; }
fi
cat >"$run/setup.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Graphics"="null"

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"COM1"="$run/ttyCOM1"
"COM2"="$run/ttyCOM2"
"COM3"="$run/ttyCOM3"
"COM4"="$run/ttyCOM4"
REG
timeout 60 wine regedit /S "$run/setup.reg"
wineserver -k  # the port map is read when Wine starts

c=$WINEPREFIX/drive_c
install_dir="$c/Program Files/Molvex ECR"  # white space: registration must use the short path
win_exe='C:\Program Files\Molvex ECR\MolvexECR.exe'
mkdir -p "$install_dir" "$c/tests/x86" "$c/ECR"
cp "$exe" "$install_dir/"
cp "$tools"/*.exe "$win_sim" "$msi" "$c/tests/"
# The 32-bit server where a 32-bit installation puts it, and the 32-bit clients.
install_dir32="$c/Program Files (x86)/Molvex ECR"
win_exe32='C:\Program Files (x86)\Molvex ECR\MolvexECR.exe'
mkdir -p "$install_dir32"
cp "$exe32" "$install_dir32/"
cp "$tools32"/early_client.exe "$tools32"/dispatch_client.exe "$tools32"/tlb_dump.exe "$c/tests/x86/"
# The script files are read in the ANSI code page: Cyrillic literals go in as Windows-1251.
for f in "$root"/tests/wine/*.vbs; do iconv -f UTF-8 -t CP1251 "$f" >"$c/tests/$(basename "$f")"; done
cp "$root"/tests/wine/*.js "$c/tests/"
control_win="Z:${run//\//\\}\\sim-control"

source "$root/tests/wine/cases.sh"
run_cases

echo
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
