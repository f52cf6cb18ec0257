# shellcheck shell=bash disable=SC2154
# Cases of the end-to-end run; sourced by scripts/wine-e2e.sh, which provides the prefix, the
# virtual printer on COM1, ok/bad/wrun and the paths ($run, $c, $win_exe, $tools, ...).

clsid='{825EAB93-BEF0-46C7-B7E2-924292690BE8}'
libid='{CF82AD16-0262-433B-B288-524A8C309B93}'
progid='MolvexECR.TECRFisc'

# Registry subtree as lines "KEY|NAME|DATA"; the default value is named "@".
reg_dump() {  # reg_dump KEY > file
  timeout 30 wine reg query "$1" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY_/ { key = $0; next }
    /^    / { n = split($0, f, "    "); name = f[2]; data = (n >= 4) ? f[4] : "";
              if (name ~ /^\(/) name = "@"; print key "|" name "|" data }'
}

reg_has() {  # reg_has FILE KEY NAME DATA
  grep -qxF "$2|$3|$4" "$1"
}

check_registered() {  # check_registered LABEL
  local label=$1 f=$run/reg-$1.txt short
  { reg_dump "HKCR\\CLSID\\$clsid"; reg_dump "HKCR\\$progid"; reg_dump "HKCR\\TypeLib\\$libid"; } >"$f"
  short=$(grep -F "HKEY_CLASSES_ROOT\\CLSID\\$clsid\\LocalServer32|@|" "$f" | cut -d'|' -f3)
  local k="HKEY_CLASSES_ROOT\\CLSID\\$clsid"
  if reg_has "$f" "$k" @ "" &&
    [[ $short =~ ^C:\\[^\ ]+\ /Automation$ ]] && [[ $short == *MOLV* ]] &&
    reg_has "$f" "$k\\LocalServer32" ThreadingModel Apartment &&
    reg_has "$f" "$k\\ProgID" @ "$progid" &&
    reg_has "$f" "$k\\Version" @ "1.0" &&
    reg_has "$f" "$k\\Typelib" @ "$libid" &&
    reg_has "$f" "HKEY_CLASSES_ROOT\\$progid" @ "" &&
    reg_has "$f" "HKEY_CLASSES_ROOT\\$progid\\CLSID" @ "$clsid" &&
    reg_has "$f" "HKEY_CLASSES_ROOT\\TypeLib\\$libid\\1.0\\409\\win64" @ "$win_exe" &&
    reg_has "$f" "HKEY_CLASSES_ROOT\\TypeLib\\$libid\\1.0\\0\\win64" @ "$win_exe"; then
    ok "$label: registry entries (LocalServer32 = $short)"
  else
    bad "$label: registry entries" "$f"
  fi
}

check_unregistered() {
  local f=$run/reg-unregistered.txt
  { reg_dump "HKCR\\CLSID\\$clsid"; reg_dump "HKCR\\$progid"; reg_dump "HKCR\\TypeLib\\$libid"; } >"$f"
  if [ ! -s "$f" ]; then ok "unregserver: class, ProgID and type library keys gone"; else bad "unregserver: keys left" "$f"; fi
}

server_running() { timeout 30 wine 'C:\tests\close_server.exe' /query >/dev/null 2>&1; }

# Waits up to $1 seconds for the server to end.
server_ends_within() {
  for _ in $(seq $(($1 * 5))); do server_running || return 0; sleep 0.2; done
  return 1
}

case_registration() {
  if wrun regserver "$win_exe" /RegServer && ! server_running; then
    ok "/RegServer exits 0 without serving"
  else
    bad "/RegServer" "$run/regserver.err"
  fi
  check_registered regserver

  if wrun unregserver "$win_exe" -UNREGSERVER; then ok "-UNREGSERVER exits 0"; else bad "-UNREGSERVER" "$run/unregserver.err"; fi
  check_unregistered

  if wrun regserver2 "$win_exe" -regserver; then ok "-regserver exits 0"; else bad "-regserver" "$run/regserver2.err"; fi
  check_registered regserver-again
}

case_exports() {
  # The result callback is exported by name from the executable, as from a library. (The
  # tool speaks the locale of the run, so it is asked in C.)
  local names=$run/exports.txt
  LC_ALL=C x86_64-w64-mingw32-objdump -p "$exe" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' >"$names"
  if grep -qE '^\s*\[ *[0-9]+\] PrinterResults$' "$names"; then
    ok "PrinterResults exported by name from MolvexECR.exe"
  else
    bad "PrinterResults not in the export table" "$names"
  fi
}

case_typelib() {
  if ! wrun tlb_dump 'C:\tests\tlb_dump.exe' "$win_exe"; then bad "tlb_dump" "$run/tlb_dump.out"; return; fi
  tr -d '\r' <"$run/tlb_dump.out" >"$run/tlb.txt"
  local head_ok=1
  grep -qxF 'library MolvexECR help="The component for Molvex LT7260R" version=1.0 lcid=0x409' "$run/tlb.txt" || head_ok=0
  grep -qxF 'dispinterface ITECRFisc help="Dispatch interface for TECRFisc Object" flags=dual,dispatchable' "$run/tlb.txt" || head_ok=0
  grep -qxF 'vtable functions=110 flags=dual,oleautomation,dispatchable' "$run/tlb.txt" || head_ok=0
  grep -qxF 'coclass TECRFisc help="TECRFisc Object" flags=creatable' "$run/tlb.txt" || head_ok=0
  if [ $head_ok = 1 ]; then ok "type library: library, interface and class attributes"; else bad "type library attributes" "$run/tlb.txt"; fi

  # The names of property-put parameters cannot be read back by dispatch id; the native
  # interface description test covers them.
  local strip='/ propput /s/ [A-Za-z_?]+:/ -:/g'
  grep '^slot ' "$run/tlb.txt" | sed -E "$strip" >"$run/tlb-slots.txt"
  "$slot_dump" --idl "$root/object/MolvexECR_TLB.idl" | sed -E "$strip" >"$run/idl-slots.txt"
  if [ -s "$run/idl-slots.txt" ] && diff -u "$run/idl-slots.txt" "$run/tlb-slots.txt" >"$run/tlb-idl.diff"; then
    ok "type library under Wine matches the interface description ($(wc -l <"$run/tlb-slots.txt") slots)"
  else
    bad "type library differs from the interface description" "$run/tlb-idl.diff"
  fi
  if [ ! -x "$dump_table" ]; then
    bad "type library vs the interface table: $dump_table missing"
    return
  fi
  "$dump_table" | sed -E "$strip" >"$run/table-slots.txt"
  if diff -u "$run/table-slots.txt" "$run/tlb-slots.txt" >"$run/tlb-table.diff"; then
    ok "type library under Wine matches the interface table"
  else
    bad "type library differs from the interface table" "$run/tlb-table.diff"
  fi
}

# Runs a script client; it must print its closing line with 0 failures and quit with 40.
script_client() {  # script_client LABEL FILE ARGS...
  local label=$1 file=$2
  shift 2
  wrun "$label" cscript.exe //nologo "C:\\tests\\$file" "$@"
  local rc=$?
  tr -d '\r' <"$run/$label.out" >"$run/$label.txt"
  if [ $rc -eq 40 ] && grep -qE '^[0-9]+ passed, 0 failed$' "$run/$label.txt"; then
    ok "$label: $(grep -E 'passed, 0 failed$' "$run/$label.txt")"
  else
    # What the script engine and Wine said goes with it: a script that stopped early says
    # nothing on its own.
    tr -d '\r' <"$run/$label.err" | grep -v '^$' | tail -15 | sed 's/^/stderr: /' >>"$run/$label.txt"
    bad "$label (exit code $rc)" "$run/$label.txt"
  fi
}

# True when the host sent these bytes to the printer (escapes as in printf %b, e.g. '\xca').
host_sent() { LC_ALL=C grep -qaF "$(printf '%b' "$1")" "$host_bytes"; }

case_scripts() {
  rm -f "$c/ECR/ZRepRec.ini"
  script_client vbscript client.vbs 100 "$control_win"
  # "Касса 1" and "Итого: 12,50" of the VBScript client, in Windows-1251.
  if host_sent '\x2f\xca\xe0\xf1\xf1\xe0 1' && host_sent '\x23\xc8\xf2\xee\xe3\xee: 12,50'; then
    ok "Cyrillic display texts reach the printer as Windows-1251 bytes (VBScript)"
  else
    bad "Cyrillic display texts from VBScript not found as Windows-1251 bytes on COM1"
  fi
  # Command 36 with the network settings the VBScript client wrote.
  if host_sent '$0,C0A8000A,FFFFFF00,C0A80001,0A000005,401F,3C00,0500'; then
    ok "network settings reach the printer in their wire form"
  else
    bad "the network settings of the VBScript client not found on COM1"
  fi
  if server_ends_within 10; then ok "server ends after the VBScript client released its object"; else bad "server still running after the VBScript client"; fi

  printf '[Identification]\r\nIdReastaurant=17\r\nFiscalPrinter=3\r\n' >"$c/ECR/ZRepRec.ini"
  script_client jscript client.js 1 "$control_win"
  # "Сумма чека" of the JScript client, in Windows-1251.
  if host_sent '\x2f\xd1\xf3\xec\xec\xe0 \xf7\xe5\xea\xe0'; then
    ok "Cyrillic display text reaches the printer as Windows-1251 bytes (JScript)"
  else
    bad "Cyrillic display text from JScript not found as Windows-1251 bytes on COM1"
  fi
  if server_ends_within 10; then ok "server ends after the JScript client released its object"; else bad "server still running after the JScript client"; fi
}

case_early_bound() {
  if wrun early_client 'C:\tests\early_client.exe' 1 && grep -q ' passed, 0 failed' "$run/early_client.out"; then
    ok "early-bound client: $(tr -d '\r' <"$run/early_client.out" | tail -1)"
  else
    bad "early-bound client" "$run/early_client.out"
  fi
  # This Wine carries no error information back from another process with a vtable call;
  # say so when it happens, the in-process run below checks the information itself.
  tr -d '\r' <"$run/early_client.out" | grep '^note:' | sed 's/^/     /'
  inproc_client registered
}

# The server's COM object inside a test process: inproc_client registered|unregistered
inproc_client() {
  if wrun "inproc-$1" 'C:\tests\inproc_client.exe' "$1" && grep -q ' passed, 0 failed' "$run/inproc-$1.out"; then
    ok "in-process object, class $1: exception with its error information ($(tr -d '\r' <"$run/inproc-$1.out" | tail -1))"
  else
    bad "in-process object, class $1" "$run/inproc-$1.out"
  fi
}

case_two_clients() {
  # One client holds an object with the port open; a second one, started meanwhile, reaches the
  # printer without opening the port: both are served by one server process and one port.
  holder_start holder
  script_client shared shared.vbs
  holder_end holder
  if server_ends_within 10; then ok "shared server ends after the last of two clients"; else bad "shared server still running"; fi
}

# Starts the holding client in the background: holder_start LABEL [gone]; sets $holder.
holder_start() {
  rm -f "$c/tests/release.flag"
  timeout -k 5 "$limit" wine 'C:\tests\early_client.exe' hold 1 'C:\tests\release.flag' "${2:-}" \
    >"$run/$1-holder.out" 2>&1 &
  holder=$!
  for _ in $(seq 100); do grep -q holding "$run/$1-holder.out" 2>/dev/null && break; sleep 0.1; done
}

holder_end() {  # holder_end LABEL
  touch "$c/tests/release.flag"
  if wait "$holder" && grep -q ' passed, 0 failed' "$run/$1-holder.out"; then ok "$1: holding client checks"; else bad "$1: holding client" "$run/$1-holder.out"; fi
}

case_close_warning() {
  # Asked to close while a client holds an object, the server asks first; No keeps it serving.
  holder_start close-no
  if wrun close-no 'C:\tests\close_server.exe' /answer no && server_running; then
    ok "closing with a live object: the warning box, No keeps the server"
  else
    bad "closing with a live object, answer No" "$run/close-no.out"
  fi
  holder_end close-no
  server_ends_within 10 || bad "server still running after the holder released"

  holder_start close-yes gone
  if wrun close-yes 'C:\tests\close_server.exe' /answer yes && server_ends_within 10; then
    ok "closing with a live object: Yes ends the server"
  else
    bad "closing with a live object, answer Yes" "$run/close-yes.out"
  fi
  holder_end close-yes
}

case_started_by_hand() {
  wrun unreg-before-hand "$win_exe" /UnregServer
  inproc_client unregistered  # no ProgID to be found: the source stays empty
  timeout -k 5 120 wine "$win_exe" >"$run/by-hand.out" 2>&1 &
  local server=$!

  for _ in $(seq 50); do server_running && break; sleep 0.2; done
  check_registered by-hand
  wrun inspect 'C:\tests\close_server.exe' /inspect
  local want='minimised=1 visible=0 controls=0 sysmenu=1 sizing=0 minbox=0 maxbox=0 client=167x53 at=492,403'
  if [ "$(tr -d '\r' <"$run/inspect.out")" = "$want" ]; then
    ok "main window TForm1: hidden, minimised, no controls, 167 x 53 at 492, 403"
  else
    echo "expected: $want" >>"$run/inspect.out"
    bad "main window TForm1" "$run/inspect.out"
  fi
  script_client by-hand-client shared.vbs open
  if server_running; then ok "a server started by hand keeps running without clients"; else bad "server started by hand ended"; fi
  wrun close 'C:\tests\close_server.exe'
  if server_ends_within 10 && wait $server; then ok "asked to close, the server ends (exit 0)"; else bad "server started by hand did not end"; fi
}

case_archive_seams() {
  local d=$c/seams
  rm -rf "$d"
  mkdir -p "$d"
  cp "$c/tests/archsend_stub.exe" "$d/ArchSend.exe"
  if wrun seams 'C:\tests\seams_client.exe' 'C:\seams\' && grep -q ' passed, 0 failed' "$run/seams.out"; then
    ok "archive seams: $(tr -d '\r' <"$run/seams.out" | tail -1)"
  else
    bad "archive seams" "$run/seams.out"
  fi
  # Text mode: every line feed became CR LF; the 8-bit text is unchanged.
  if [ "$(od -An -tx1 "$d/infoZ.log" | tr -d ' \n')" = "$(printf '10-12-2026 09:05 \xce\xf8\xe8\xe1\xea\xe0 \r\n10-12-2026 09:06 Z \r\n' | od -An -tx1 | tr -d ' \n')" ] &&
    [ "$(od -An -tx1 "$d/archive.zre" | tr -d ' \n')" = "5a310d0a5a320d0a" ]; then
    ok "info log appended and archive written in text mode (CR LF)"
  else
    bad "text-mode files" <(od -c "$d/infoZ.log" "$d/archive.zre" 2>&1)
  fi
  for _ in $(seq 100); do [ -s "$d/ArchSend.flag" ] && break; sleep 0.1; done
  if [ -s "$d/ArchSend.flag" ]; then
    ok "the uploader started through the shell, in the caller's directory"
  else
    bad "the uploader left no mark in C:\seams"
  fi
}

case_windows_sim() {
  # The Windows build of the virtual printer on COM4; the early-bound client reaches it through
  # the server on COM3.
  timeout -k 5 120 wine 'C:\tests\ecr-sim.exe' --device COM4 --busy-scale 0 \
    --control "$control_win-win" >"$run/win-sim.out" 2>"$run/win-sim.err" &
  local win_sim_pid=$!
  for _ in $(seq 100); do grep -q 'listening on COM4' "$run/win-sim.out" 2>/dev/null && break; sleep 0.1; done
  if grep -q 'listening on COM4' "$run/win-sim.out"; then
    ok "ecr-sim.exe serves COM4"
  else
    bad "ecr-sim.exe did not start" "$run/win-sim.err"
  fi
  if wrun early-win-sim 'C:\tests\early_client.exe' 3 && grep -q ' passed, 0 failed' "$run/early-win-sim.out"; then
    ok "early-bound client over COM3 to the Windows virtual printer: $(tr -d '\r' <"$run/early-win-sim.out" | tail -1)"
  else
    bad "early-bound client over COM3 to the Windows virtual printer" "$run/early-win-sim.out"
  fi
  printf 'stats\n' >>"$run/sim-control-win"
  for _ in $(seq 30); do grep -q 'requests' "$run/win-sim.err" 2>/dev/null && break; sleep 0.1; done
  if grep -qE ' [1-9][0-9]* requests' "$run/win-sim.err"; then
    ok "ecr-sim.exe answered: $(grep -oE '[0-9]+ bytes in, [0-9]+ bytes out, [0-9]+ requests' "$run/win-sim.err" | tail -1)"
  else
    bad "ecr-sim.exe counted no requests" "$run/win-sim.err"
  fi
  kill "$win_sim_pid" 2>/dev/null
  wait "$win_sim_pid" 2>/dev/null
}

case_churn() {
  # Clients that make an object for every operation: the script releases and creates at once
  # (the server stays), the native client waits longer each round, so that its creations meet
  # the server at every moment of its end.
  script_client churn churn.vbs
  if wrun churn-native 'C:\tests\early_client.exe' churn 24 67 && grep -q ' passed, 0 failed' "$run/churn-native.out"; then
    ok "create and release across the end of the server: $(tr -d '\r' <"$run/churn-native.out" | tail -1)"
  else
    bad "create and release across the end of the server" "$run/churn-native.out"
  fi
}

case_receipts() {
  # A printer of its own on COM2 (a tap records what the host sends), with the two articles
  # examples/sale.vbs sells; the example runs as it stands in the repository.
  local bytes=$run/host-bytes-com2.bin sim2 tap2
  "$sim" --link "$run/ttyECR2" --busy-scale 0 --paper "$run/paper-com2.txt" \
    --article "1,А,1,12.50,Хлеб" --article "2,Б,1,30.00,Молоко" >"$run/sim-com2.log" 2>&1 &
  sim2=$!
  for _ in $(seq 50); do [ -e "$run/ttyECR2" ] && break; sleep 0.1; done
  "$tap" "$run/ttyCOM2" "$run/ttyECR2" "$bytes" >"$run/tap-com2.log" 2>&1 &
  tap2=$!
  for _ in $(seq 50); do [ -e "$run/ttyCOM2" ] && break; sleep 0.1; done
  if [ ! -e "$run/ttyCOM2" ]; then
    bad "the COM2 printer did not start" "$run/sim-com2.log"
    kill "$tap2" "$sim2" 2>/dev/null
    return
  fi

  cp "$root/examples/sale.vbs" "$c/tests/sale.vbs"
  wrun sale-vbs cscript.exe //nologo 'C:\tests\sale.vbs' 2
  local rc=$?
  tr -d '\r' <"$run/sale-vbs.out" >"$run/sale-vbs.txt"
  if [ $rc -eq 0 ] && grep -qx 'every call gave what it should' "$run/sale-vbs.txt" &&
    ! grep -q FAILED "$run/sale-vbs.txt"; then
    ok "examples/sale.vbs as it stands: every call gave what it should"
  else
    tr -d '\r' <"$run/sale-vbs.err" | grep -v '^$' | tail -15 | sed 's/^/stderr: /' >>"$run/sale-vbs.txt"
    bad "examples/sale.vbs (exit code $rc)" "$run/sale-vbs.txt"
  fi
  if server_ends_within 10; then ok "server ends after examples/sale.vbs"; else bad "server still running after examples/sale.vbs"; fi

  script_client receipts receipts.js 2
  # "Сок апельсиновый" of SellArticul in the article programming, in Windows-1251.
  if LC_ALL=C grep -qaF "$(printf '\xd1\xee\xea \xe0\xef\xe5\xeb\xfc\xf1\xe8\xed\xee\xe2\xfb\xe9')" "$bytes"; then
    ok "SellArticul: the Cyrillic name reaches the printer as Windows-1251 bytes"
  else
    bad "SellArticul: the Cyrillic name not found as Windows-1251 bytes on COM2"
  fi
  if server_ends_within 10; then ok "server ends after the receipts client"; else bad "server still running after the receipts client"; fi
  kill "$tap2" "$sim2" 2>/dev/null
  wait "$tap2" "$sim2" 2>/dev/null
}

run_cases() {
  case_exports
  case_registration
  case_typelib
  case_scripts
  case_early_bound
  case_two_clients
  case_churn
  case_close_warning
  case_started_by_hand
  case_archive_seams
  case_windows_sim
  case_receipts
}
