# shellcheck shell=bash disable=SC2154
# Cases of the end-to-end run; sourced by scripts/wine-e2e.sh, which provides the prefix, the
# virtual printer on COM1, ok/bad/wrun and the paths ($run, $c, $win_exe, $tools, ...).

clsid='{825EAB93-BEF0-46C7-B7E2-924292690BE8}'
libid='{CF82AD16-0262-433B-B288-524A8C309B93}'
iid='{74D6AD8C-B765-429E-86B4-488445A2021B}'
progid='MolvexECR.TECRFisc'

reg_has() {  # reg_has FILE KEY NAME DATA
  grep -qxF "$2|$3|$4" "$1"
}

# The class, ProgID, type library and interface keys of a registration in one registry view, as
# lines "KEY|NAME|DATA" with keys named from the classes root on ("CLSID\{...}"), so that the
# machine's and a user's registration read alike. A 64-bit Windows keeps two views of the
# classes (reg /reg:64 and /reg:32); a 32-bit program sees the 32-bit one. With 32-bit Wine
# installed, "wine reg" is the 32-bit reg.exe: the view is always named.
classes_dump() {  # classes_dump ROOT VIEW > file   (ROOT: HKCR, HKLM\Software\Classes, ...)
  local k
  for k in "CLSID\\$clsid" "$progid" "TypeLib\\$libid" "Interface\\$iid"; do
    timeout 30 wine reg query "$1\\$k" /s "/reg:$2" 2>/dev/null | tr -d '\r' | awk '
      /^HKEY_/ { key = $0; sub(/^HKEY_[A-Z_]+\\([Ss][Oo][Ff][Tt][Ww][Aa][Rr][Ee]\\[Cc][Ll][Aa][Ss][Ss][Ee][Ss]\\)?/, "", key); next }
      /^    / { n = split($0, f, "    "); name = f[2]; data = (n >= 4) ? f[4] : "";
                if (name ~ /^\(/) name = "@"; print key "|" name "|" data }'
  done
}

# Checks every entry of a registration in both views:
#   check_registered LABEL [ROOT [EXE [BITS [SWITCHES]]]]   (defaults: HKCR, $win_exe, 64, none)
# EXE carries the type library of its own kind as resource 1, the other kind's as resource 2.
# SWITCHES are what the class's command carries after "/Automation" (" /PerClient").
check_registered() {
  local label=$1 classes=${2:-HKCR} exe=${3:-$win_exe} bits=${4:-64} switches=${5:-} view f short good=1 bad_file=
  local lib64=$exe lib32="$exe\\2"
  [ "$bits" = 32 ] && { lib64="$exe\\2"; lib32=$exe; }
  for view in 64 32; do
    f=$run/reg-$label-$view.txt
    classes_dump "$classes" "$view" >"$f"
    short=$(grep -F "CLSID\\$clsid\\LocalServer32|@|" "$f" | cut -d'|' -f3)
    local k="CLSID\\$clsid" t="TypeLib\\$libid\\1.0" i="Interface\\$iid"
    if reg_has "$f" "$k" @ "" &&
      [[ $short =~ ^C:\\[^\ ]+\ /Automation"$switches"$ ]] && [[ $short == *MOLV* ]] &&
      reg_has "$f" "$k\\LocalServer32" ThreadingModel Apartment &&
      reg_has "$f" "$k\\ProgID" @ "$progid" &&
      reg_has "$f" "$k\\Version" @ "1.0" &&
      reg_has "$f" "$k\\Typelib" @ "$libid" &&
      reg_has "$f" "$progid" @ "" &&
      reg_has "$f" "$progid\\CLSID" @ "$clsid" &&
      reg_has "$f" "$t\\409\\win64" @ "$lib64" && reg_has "$f" "$t\\409\\win32" @ "$lib32" &&
      reg_has "$f" "$t\\0\\win64" @ "$lib64" && reg_has "$f" "$t\\0\\win32" @ "$lib32" &&
      reg_has "$f" "$i" @ ITECRFisc &&
      reg_has "$f" "$i\\ProxyStubClsid32" @ '{00020424-0000-0000-C000-000000000046}' &&
      reg_has "$f" "$i\\TypeLib" @ "$libid" && reg_has "$f" "$i\\TypeLib" Version 1.0; then
      :
    else
      good=0
      bad_file=$f
    fi
  done
  if [ $good = 1 ]; then
    ok "$label: registry entries in the 64-bit and the 32-bit view (LocalServer32 = $short)"
  else
    bad "$label: registry entries ($(basename "$bad_file"))" "$bad_file"
  fi
}

check_unregistered() {  # check_unregistered [LABEL [ROOT]]
  local label=${1:-unregserver}
  local f=$run/reg-gone-${label//[^A-Za-z0-9-]/_}.txt
  { classes_dump "${2:-HKCR}" 64; classes_dump "${2:-HKCR}" 32; } >"$f"
  if [ ! -s "$f" ]; then
    ok "$label: class, ProgID, type library and interface keys gone from both views"
  else
    bad "$label: keys left" "$f"
  fi
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

# The number of slots of ITECRFisc, from the frozen snapshot of the binary interface.
frozen_slot_count() {
  grep -c '^[0-9]' "$root/tests/idl/dispids.txt"
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
  grep -qxF "vtable functions=$(frozen_slot_count) flags=dual,oleautomation,dispatchable" "$run/tlb.txt" || head_ok=0
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

# Runs C:\tests\FILE in the script host; returns its exit code, its output (CRs taken out) is in
# $run/LABEL.txt. The 64-bit script host unless $cscript32 is set (cscript32=1 run_script ...)
# or the caller names the loader (loader=wine run_script ...: the host that plain wine starts).
run_script() {  # run_script LABEL FILE ARGS...
  local label=$1 file=$2
  shift 2
  if [ -n "${cscript32:-}" ]; then
    wrun "$label" 'C:\windows\syswow64\cscript.exe' //nologo "C:\\tests\\$file" "$@"
  else
    loader=${loader:-$wine64} wrun "$label" cscript.exe //nologo "C:\\tests\\$file" "$@"
  fi
  local rc=$?
  tr -d '\r' <"$run/$label.out" >"$run/$label.txt"
  return $rc
}

# A script run of run_script that failed: what the script engine and Wine said goes with its
# output (a script that stopped early says nothing on its own).
script_failed() {  # script_failed LABEL MESSAGE
  tr -d '\r' <"$run/$1.err" | grep -v '^$' | tail -15 | sed 's/^/stderr: /' >>"$run/$1.txt"
  bad "$2" "$run/$1.txt"
}

# Runs a script client; it must print its closing line with 0 failures and quit with 40.
script_client() {  # script_client LABEL FILE ARGS...
  local label=$1 rc=0
  run_script "$@" || rc=$?
  if [ $rc -eq 40 ] && grep -qE '^[0-9]+ passed, 0 failed$' "$run/$label.txt"; then
    ok "$label: $(grep -E 'passed, 0 failed$' "$run/$label.txt")"
  else
    script_failed "$label" "$label (exit code $rc)"
  fi
}

# C:\ECR\ZRepRec.ini for a case: settings_use keeps the file there aside and writes CONTENT
# (escapes as in printf %b, lines ending in \r\n); settings_restore puts the kept file back, or
# removes the written one when there was none.
settings_use() {  # settings_use CONTENT
  rm -f "$run/ZRepRec.ini.saved"
  [ ! -f "$c/ECR/ZRepRec.ini" ] || cp "$c/ECR/ZRepRec.ini" "$run/ZRepRec.ini.saved"
  printf '%b' "$1" >"$c/ECR/ZRepRec.ini"
}
settings_restore() {
  if [ -f "$run/ZRepRec.ini.saved" ]; then
    mv "$run/ZRepRec.ini.saved" "$c/ECR/ZRepRec.ini"
  else
    rm -f "$c/ECR/ZRepRec.ini"
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

# The example scripts of examples/ as they stand, read in the ANSI code page like every script
# file. Each ends with "Done." when every step gave what it should, and with exit code 1 when not;
# a script that stops on a runtime error prints nothing more and exits 0, so the last line counts.
# Each one runs as a program of its own would: against a server that its own creation starts.
case_examples() {
  local f rc
  for f in first-steps articles cash-and-totals network non-fiscal retry; do
    server_ends_within 10 || bad "server still running before examples/$f.vbs"
    iconv -f UTF-8 -t CP1251 "$root/examples/$f.vbs" >"$c/tests/example-$f.vbs"
    rc=0
    loader=wine run_script "example-$f" "example-$f.vbs" || rc=$?
    if [ $rc -eq 0 ] && [ "$(tail -1 "$run/example-$f.txt")" = "Done." ]; then
      ok "examples/$f.vbs runs as it stands ($(wc -l <"$run/example-$f.txt") lines of output)"
    else
      script_failed "example-$f" "examples/$f.vbs (exit code $rc)"
    fi
  done
}

# examples/retry.vbs as it stands, with the reply to its sale garbled (the printer registers the
# sale, the object gives GetError 17): the example reads the receipt's sum, does not sell again,
# and its receipt holds the one line (2 x 12.50).
case_example_retry() {
  local rc=0 out=$run/example-retry-17.txt
  iconv -f UTF-8 -t CP1251 "$root/examples/retry.vbs" >"$c/tests/example-retry.vbs"
  server_ends_within 10 || bad "server still running before examples/retry.vbs with a garbled reply"
  printf 'on 58 bad-check\n' >>"$run/sim-control"
  sleep 0.3  # the virtual printer reads its control file every 50 ms
  loader=wine run_script example-retry-17 example-retry.vbs || rc=$?
  if [ $rc -eq 0 ] && [ "$(tail -1 "$out")" = "Done." ] &&
    grep -qx 'SellArticul: the printer registered the line; it is not sold again' "$out" &&
    grep -qE '^Receipt [0-9]+: 25$' "$out"; then
    ok "examples/retry.vbs with the sale's reply garbled (GetError 17): $(grep '^Receipt' "$out"), not sold twice"
  else
    script_failed example-retry-17 "examples/retry.vbs with a garbled reply to its sale (exit code $rc)"
  fi
}

# examples/lost-reply.vbs as it stands, against the Windows build of the virtual printer (COM4,
# the script on COM3), once for each row below: the faults armed before the run, the exit code
# and the outcome line the script must end with, and the receipts and voids its run leaves on the
# paper. "#" stands for the number of the receipt the printer printed in that run, the one the
# script must name. The last row finds a receipt of another sum open (the reply to the sum's query
# says so): the script stops and cancels nothing.
case_example_lost_reply() {
  local paper=$run/paper-lost-reply.txt control=$run/sim-control-lost-reply
  rm -f "$paper"
  iconv -f UTF-8 -t CP1251 "$root/examples/lost-reply.vbs" >"$c/tests/example-lost-reply.vbs"
  timeout -k 5 300 wine 'C:\tests\ecr-sim.exe' --device COM4 --busy-scale 0 \
    --control "Z:${control//\//\\}" --paper "Z:${paper//\//\\}" \
    >"$run/lost-reply-sim.out" 2>"$run/lost-reply-sim.err" &
  local lost_sim_pid=$!
  for _ in $(seq 100); do grep -q 'listening on COM4' "$run/lost-reply-sim.out" 2>/dev/null && break; sleep 0.1; done
  if ! grep -q 'listening on COM4' "$run/lost-reply-sim.out"; then
    bad "examples/lost-reply.vbs: ecr-sim.exe did not start" "$run/lost-reply-sim.err"
    kill "$lost_sim_pid" 2>/dev/null
    wait "$lost_sim_pid" 2>/dev/null
    return
  fi
  # label|control lines (";" between)|the call that failed, with its GetError|exit code|last
  # line|receipts|voids|what happens
  local rows=(
    'plain|||0|Printed: receipt #, 25|1|0|no fault'
    'close-lost|on 56 wrong-terminator|CloseFiscReceipt: failed (GetError 19)|0|Printed: receipt #, 25|1|0|the close carried out, its reply lost'
    'close-garbled|on 56 bad-check|CloseFiscReceipt: failed (GetError 17)|0|Printed: receipt #, 25|1|0|the close carried out, its reply garbled'
    'close-unsent|on 56 silence|CloseFiscReceipt: failed (GetError 19)|0|Printed: receipt #, 25|1|0|the close never reached the printer: closed by the reading'
    'close-nak|on 56 nak|CloseFiscReceipt: failed (GetError 18)|0|Printed: receipt #, 25|1|0|the close refused with NAK: closed by the reading'
    'payment-unsent|on 53 silence|Payment: failed (GetError 19)|2|Not printed (our receipt cancelled): the sale may be made again|0|1|the payment never reached the printer: cancelled'
    'open-unsent|on 48 silence|OpenFiscReceipt: failed (GetError 19)|2|Not printed (no receipt open, NumbRec unchanged): the sale may be made again|0|0|the open never reached the printer'
    'other-receipt|on 56 silence;reply 76 808080808080 1,1,3000,3000|CloseFiscReceipt: failed (GetError 19)|1|Stop: a fiscal receipt of 30 is open, ours holds 25; look at the printer and its paper before going on|0|0|a receipt of another sum open'
  )
  local row label faults want_failing want_rc want_last want_receipts want_voids what
  local rc out from slice receipts voids number last failing
  for row in "${rows[@]}"; do
    IFS='|' read -r label faults want_failing want_rc want_last want_receipts want_voids what <<<"$row"
    out=$run/example-lost-reply-$label.txt
    server_ends_within 10 || bad "server still running before examples/lost-reply.vbs ($label)"
    from=$(($(stat -c %s "$paper" 2>/dev/null || echo 0) + 1))
    [ -z "$faults" ] || tr ';' '\n' <<<"$faults" >>"$control"
    sleep 0.3  # the virtual printer reads its control file every 50 ms
    rc=0
    loader=wine run_script "example-lost-reply-$label" example-lost-reply.vbs 3 || rc=$?
    slice=$run/paper-lost-reply-$label.txt
    tail -c +"$from" "$paper" 2>/dev/null >"$slice"
    receipts=$(grep -c '^      FISCAL RECEIPT$' "$slice")
    voids=$(grep -c '^\*\*\* VOID \*\*\*' "$slice")
    number=$(sed -nE 's/^RECEIPT +([0-9]+)$/\1/p' "$slice")
    last=$(tail -1 "$out")
    failing=$(grep -o '^[A-Za-z]*: failed (GetError [0-9]*)' "$out")
    if [ "$rc" = "$want_rc" ] && [ "$failing" = "$want_failing" ] &&
      [ "$last" = "${want_last//#/$number}" ] &&
      [ "$receipts" = "$want_receipts" ] && [ "$voids" = "$want_voids" ]; then
      ok "examples/lost-reply.vbs, $what${failing:+ ($failing)}: \"$last\" (exit $rc), $receipts receipt(s) and $voids void(s) on the paper"
    else
      cat "$slice" >>"$out"
      script_failed "example-lost-reply-$label" \
        "examples/lost-reply.vbs, $what: exit $rc, $receipts receipt(s) and $voids void(s) on the paper"
    fi
  done
  kill "$lost_sim_pid" 2>/dev/null
  wait "$lost_sim_pid" 2>/dev/null
}

# examples/close-day.vbs as it stands: the day closed on COM1, its archive under the LocalPath of
# a settings file placed for it; then with a LocalPath that does not exist, where the day is not
# closed, the example tells that the archive was not written (-102) and exits 1; then without a
# settings file. The settings file is restored.
case_example_close_day() {
  local d=$c/dayend rc=0 zre
  rm -rf "$d"
  mkdir -p "$d"
  iconv -f UTF-8 -t CP1251 "$root/examples/close-day.vbs" >"$c/tests/example-close-day.vbs"
  settings_use '[Identification]\r\nIdReastaurant=5\r\nFiscalPrinter=2\r\n[Files]\r\nLocalPath=C:\\dayend\\\r\n'
  server_ends_within 10 || bad "server still running before examples/close-day.vbs"
  loader=wine run_script example-close-day example-close-day.vbs || rc=$?
  zre=$(cd "$d" && ls -- *.zre 2>/dev/null)
  if [ $rc -eq 0 ] && [ "$(tail -1 "$run/example-close-day.txt")" = "Done." ] &&
    [[ $zre =~ ^[0-9]{12}52\.zre$ ]] && grep -q '^Z-REPORT' "$d/$zre" &&
    iconv -f CP1251 -t UTF-8 "$d/infoZ.log" | tr -d '\r' |
    grep -qE "^[0-9-]{10} [0-9:]{5} Z-Отчет считан и записан в файл: C:\\\\dayend\\\\$zre $"; then
    ok "examples/close-day.vbs runs as it stands: $(grep '^Day closed' "$run/example-close-day.txt" | cut -d';' -f1), archive $zre"
  else
    script_failed example-close-day "examples/close-day.vbs (exit code $rc, archive: ${zre:-none})"
  fi

  printf '[Identification]\r\nIdReastaurant=5\r\nFiscalPrinter=2\r\n[Files]\r\nLocalPath=C:\\nowhere\\\r\n' >"$c/ECR/ZRepRec.ini"
  server_ends_within 10 || bad "server still running before the second run of examples/close-day.vbs"
  rc=0
  loader=wine run_script example-close-day-102 example-close-day.vbs || rc=$?
  if [ $rc -eq 1 ] && [ ! -e "$c/nowhere" ] && [ "$(tail -1 "$run/example-close-day-102.txt")" = \
    'Archive not written: see LocalPath\infoZ.log (day open, or data spooled)' ]; then
    ok "examples/close-day.vbs with a LocalPath that does not exist: the day not closed (-102), exit 1"
  else
    script_failed example-close-day-102 "examples/close-day.vbs with a missing LocalPath (exit code $rc)"
  fi

  # Without a settings file (SetComPort 100): the archive and infoZ.log in C:\ECR itself, named
  # from the date and time alone, and the uploader looked for there only (there is none: its own
  # log line); nothing in the server's current directory, the system folder.
  rm -f "$c/ECR/ZRepRec.ini"
  local log=$run/infoZ-nosettings.txt sys=$c/windows/system32 name
  iconv -f CP1251 -t UTF-8 "$c/ECR/infoZ.log" 2>/dev/null | tr -d '\r' >"$run/infoZ-before.txt"
  server_ends_within 10 || bad "server still running before examples/close-day.vbs without settings"
  rc=0
  loader=wine run_script example-close-day-nosettings example-close-day.vbs || rc=$?
  iconv -f CP1251 -t UTF-8 "$c/ECR/infoZ.log" 2>/dev/null | tr -d '\r' |
    tail -n +"$(($(wc -l <"$run/infoZ-before.txt") + 1))" >"$log"
  name=$(sed -nE 's/.* Z-Отчет считан и записан в файл: C:\\ECR\\([^ ]+) $/\1/p' "$log")
  if [ $rc -eq 0 ] && [ "$(tail -1 "$run/example-close-day-nosettings.txt")" = "Done." ] &&
    [[ $name =~ ^[0-9]{12}(_[0-9]+)?\.zre$ ]] && grep -q '^Z-REPORT' "$c/ECR/$name" &&
    grep -qE '^[0-9-]{10} [0-9:]{5} Программа выгрузки не найдена: C:\\ECR\\ArchSend\.exe $' "$log" &&
    ! ls "$sys"/*.zre "$sys/infoZ.log" >/dev/null 2>&1; then
    ok "examples/close-day.vbs without a settings file: C:\\ECR\\$name, the missing uploader logged, nothing in the system folder"
  else
    cat "$log" >>"$run/example-close-day-nosettings.txt"
    script_failed example-close-day-nosettings "examples/close-day.vbs without a settings file (exit code $rc, archive: ${name:-none})"
  fi
  settings_restore
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
  # A repeated run (MOLVEX_WINE_CASES="churn churn ...") keeps the files of each repetition.
  churn_runs=$((${churn_runs:-0} + 1))
  local n=
  [ "$churn_runs" = 1 ] || n=-$churn_runs
  script_client "churn$n" churn.vbs
  local out=$run/churn-native$n
  if wrun "churn-native$n" 'C:\tests\early_client.exe' churn 24 67 && grep -q ' passed, 0 failed' "$out.out"; then
    ok "create and release across the end of the server: $(tr -d '\r' <"$out.out" | tail -1)"
  else
    tr -d '\r' <"$out.err" | grep -v '^$' | tail -15 | sed 's/^/stderr: /' >>"$out.out"
    bad "create and release across the end of the server" "$out.out"
  fi
}

case_reports() {
  # Reports through the server; the Z archive under the LocalPath of C:\ECR\ZRepRec.ini with a
  # stand-in uploader; a Z report whose data read fails. The settings file is restored after.
  local d=$c/zarch
  rm -rf "$d"
  mkdir -p "$d"
  cp "$c/tests/archsend_stub.exe" "$d/ArchSend.exe"
  settings_use '[Identification]\r\nIdReastaurant=17\r\nFiscalPrinter=3\r\n[Files]\r\nLocalPath=C:\\zarch\\\r\n'
  script_client reports reports.vbs "$control_win"
  settings_restore
  if server_ends_within 10; then ok "server ends after the reports client"; else bad "server still running after the reports client"; fi

  # The info log: Windows-1251, CR LF, a stamp on every line; the archive files it names.
  local log=$run/infoZ.txt stamp='[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}'
  iconv -f CP1251 -t UTF-8 "$d/infoZ.log" >"$log" 2>&1
  local lines crlf stamped names=()
  lines=$(wc -l <"$log")
  crlf=$(grep -c $'\r$' "$log")
  stamped=$(grep -cE "^$stamp " "$log")
  mapfile -t names < <(tr -d '\r' <"$log" | sed -nE 's/.* Z-Отчет считан и записан в файл: C:\\zarch\\([^ ]+) $/\1/p')
  printf '%s\n' ' Z-Отчет выполнен! ' " Z-Отчет считан и записан в файл: C:\\zarch\\${names[0]:-?} " \
    ' Z-Отчет выполнен! ' ' Ошибка чтения Z-Отчета из РРО! ' \
    ' Z-Отчет выполнен! ' " Z-Отчет считан и записан в файл: C:\\zarch\\${names[1]:-?} " >"$run/infoZ.want"
  if [ "$lines" = 6 ] && [ "$crlf" = 6 ] && [ "$stamped" = 6 ] &&
    tr -d '\r' <"$log" | sed -E "s/^$stamp//" | diff -u "$run/infoZ.want" - >"$run/infoZ.diff"; then
    ok "infoZ.log under LocalPath: six lines, Windows-1251, CR LF, the failed read among them"
  else
    cat "$log" >>"$run/infoZ.diff"
    bad "infoZ.log under LocalPath" "$run/infoZ.diff"
  fi

  # Two archive files (the failed read wrote none), named from date, time and 17, 3; neither
  # replaced the other; each holds its own Z report in text mode.
  local zre=() first second
  mapfile -t zre < <(cd "$d" && ls -- *.zre 2>/dev/null)
  first=$(tr -d '\r' <"$d/${names[0]:-none}" 2>/dev/null | sed -n 's/^Z=//p')
  second=$(tr -d '\r' <"$d/${names[1]:-none}" 2>/dev/null | sed -n 's/^Z=//p')
  if [ "${#zre[@]}" = 2 ] && [ "${names[0]:-}" != "${names[1]:-}" ] &&
    [[ ${names[0]:-} =~ ^[0-9]{12}173(_2)?\.zre$ ]] && [[ ${names[1]:-} =~ ^[0-9]{12}173(_2)?\.zre$ ]] &&
    [ "$(head -c 25 "$d/${names[0]}" | od -An -tx1 | tr -d ' \n')" = "$(printf 'Z-REPORT\r\nMODEL=LT7260R\r\n' | od -An -tx1 | tr -d ' \n')" ] &&
    [ -n "$first" ] && [ "$second" = $((first + 2)) ]; then
    ok "archive files ${names[0]} (Z $first) and ${names[1]} (Z $second), CR LF"
  else
    bad "archive files: ${zre[*]:-none}; named in the log: ${names[*]:-none}; Z numbers ${first:-?} ${second:-?}"
  fi

  # The uploader was started after each archived Z report and not after the failed read.
  for _ in $(seq 100); do [ "$(wc -l <"$d/ArchSend.log" 2>/dev/null)" = 2 ] && break; sleep 0.1; done
  if [ "$(wc -l <"$d/ArchSend.log" 2>/dev/null)" = 2 ]; then
    ok "the stand-in ArchSend.exe in LocalPath started twice ($(head -1 "$d/ArchSend.log" | tr -d '\r'))"
  else
    bad "the stand-in ArchSend.exe did not leave two marks" "$d/ArchSend.log"
  fi
  # It also marked the current directory it inherited from the server: take that mark away.
  local where
  where=$(head -1 "$d/ArchSend.log" 2>/dev/null | tr -d '\r' | sed -n 's/^started in //p')
  case $where in
    [Zz]:\\*) where=${where:2} ;;
    [Cc]:\\*) where=$c${where:2} ;;
    *) where= ;;
  esac
  [ -z "$where" ] || rm -f "${where//\\//}/ArchSend.flag"
}

# --- Windows deployment: both kinds of client, the 32-bit server, per-user, the installer ------

# Type library NUMBER of an executable, read by a client of the given kind, slot by slot as the
# interface description has them: check_library LABEL TLB_DUMP PATH
check_library() {
  local label=$1 strip='/ propput /s/ [A-Za-z_?]+:/ -:/g'
  if wrun "$label" "$2" "$3" && grep -q "version=1.0 lcid=0x409" "$run/$label.out"; then
    tr -d '\r' <"$run/$label.out" | grep '^slot ' | sed -E "$strip" >"$run/$label-slots.txt"
    "$slot_dump" --idl "$root/object/MolvexECR_TLB.idl" | sed -E "$strip" >"$run/$label-idl.txt"
    if diff -u "$run/$label-idl.txt" "$run/$label-slots.txt" >"$run/$label.diff"; then
      ok "$label: $3 loads and matches the interface description"
      return
    fi
  fi
  bad "$label: $3" "$run/$label.out"
}

native_client() {  # native_client LABEL PROGRAM ARGS...
  local label=$1
  shift
  if wrun "$label" "$@" && grep -q ' passed, 0 failed' "$run/$label.out"; then
    ok "$label: $(tr -d '\r' <"$run/$label.out" | tail -1)"
  else
    bad "$label" "$run/$label.out"
  fi
}

# A virtual printer of its own on COM2, fresh (no fiscal memory yet), with the given arguments;
# stop_com2 ends it.
start_com2() {  # start_com2 NAME ARGS...
  local name=$1
  shift
  "$sim" --link "$run/ttyCOM2" --busy-scale 0 "$@" >"$run/$name.log" 2>&1 &
  com2_pid=$!
  for _ in $(seq 50); do [ -e "$run/ttyCOM2" ] && break; sleep 0.1; done
}
stop_com2() {
  kill "$com2_pid" 2>/dev/null
  wait "$com2_pid" 2>/dev/null
}

case_clients_32bit() {
  needs32 typelib-win32-of-64 vbscript-32 early-32 || return 0
  # 32-bit clients of the 64-bit server: they marshal through the win32 type library.
  check_library typelib-win32-of-64 'C:\tests\x86\tlb_dump.exe' "$win_exe\\2"
  # client.vbs sets the printer's clock back to 2015, which a printer refuses once its fiscal
  # memory holds a later Z report (the reports case made some on COM1): the 32-bit script gets a
  # fresh printer, as the 64-bit one had.
  start_com2 sim-vbscript-32 --control "$run/sim-control-com2"
  cscript32=1 script_client vbscript-32 client.vbs 1 "$control_win-com2" 2  # C:\ECR\ZRepRec.ini exists
  stop_com2
  native_client early-32 'C:\tests\x86\early_client.exe' 1
  if server_ends_within 10; then ok "server ends after the 32-bit clients"; else bad "server still running after the 32-bit clients"; fi
}

case_server_32bit() {
  needs32 regserver32 early-64-on-32 early-32-on-32 shared-64-on-32 shared-32-on-32 unregserver32 || return 0
  # The 32-bit server in place of the 64-bit one, for clients of both kinds.
  wrun unreg64 "$win_exe" /UnregServer
  if wrun regserver32 "$win_exe32" /RegServer && ! server_running; then ok "32-bit server: /RegServer exits 0"; else bad "32-bit server /RegServer" "$run/regserver32.err"; fi
  check_registered regserver32 HKCR "$win_exe32" 32
  native_client early-64-on-32 'C:\tests\early_client.exe' 1
  native_client early-32-on-32 'C:\tests\x86\early_client.exe' 1
  script_client shared-64-on-32 shared.vbs open
  cscript32=1 script_client shared-32-on-32 shared.vbs open
  if server_ends_within 10; then ok "32-bit server ends after its last client"; else bad "32-bit server still running"; fi
  if wrun unregserver32 "$win_exe32" /UnregServer; then ok "32-bit server: /UnregServer exits 0"; else bad "32-bit server /UnregServer"; fi
  check_unregistered unregserver32
  wrun regserver64 "$win_exe" /RegServer
}

# The 32-bit builds without running them, so that a machine that cannot run 32-bit programs
# checks them too: the machine type of every image, and both type libraries of the 32-bit
# server (resource 1 its own, win32; resource 2 the win64 one) read by the 64-bit tool.
case_images_32bit() {
  local f kind bad_images=()
  for f in "$exe32" "$tools32"/early_client.exe "$tools32"/dispatch_client.exe "$tools32"/tlb_dump.exe \
    "$exe" "$tools"/early_client.exe "$tools"/dispatch_client.exe "$tools"/tlb_dump.exe; do
    kind=pei-x86-64
    [[ $f == "$mingw32"/* ]] && kind=pei-i386
    LC_ALL=C x86_64-w64-mingw32-objdump -f "$f" 2>&1 | grep -q "file format $kind\$" || bad_images+=("$f")
  done
  if [ ${#bad_images[@]} -eq 0 ]; then
    ok "the 32-bit server and clients are i386 images, the 64-bit ones x86-64"
  else
    bad "images of the wrong machine type: ${bad_images[*]}"
  fi
  check_library typelib-win32-in-32 'C:\tests\tlb_dump.exe' "$win_exe32"
  check_library typelib-win64-of-32 'C:\tests\tlb_dump.exe' "$win_exe32\\2"
}

# The value of the user's LocalServer32 key, as the COM runtime reads it.
user_local_server() {
  classes_dump 'HKCU\Software\Classes' 64 | grep -F "CLSID\\$clsid\\LocalServer32|@|" | cut -d'|' -f3
}

case_per_user() {
  wrun unreg-machine "$win_exe" /UnregServer
  if wrun peruser "$win_exe" /RegServerPerUser && ! server_running; then ok "/RegServerPerUser exits 0 without serving"; else bad "/RegServerPerUser" "$run/peruser.err"; fi
  check_registered per-user 'HKCU\Software\Classes'
  check_unregistered "per-user, machine classes" 'HKLM\Software\Classes'
  # Activation. Wine 8 reads classes from the machine's part only (its HKEY_CLASSES_ROOT has no
  # user overlay; CreateObject("MolvexECR.TECRFisc") finds no class): the run starts the user's
  # registered command as the COM runtime of Windows does, and clients of both kinds create the
  # object by class identifier from the running server.
  local command
  command=$(user_local_server)
  timeout -k 5 60 wine "${command% /Automation}" /Automation -Embedding >"$run/peruser-server.out" 2>&1 &
  local server=$!
  for _ in $(seq 50); do server_running && break; sleep 0.2; done
  native_client dispatch-64-per-user 'C:\tests\dispatch_client.exe'
  ! needs32 dispatch-32-per-user || native_client dispatch-32-per-user 'C:\tests\x86\dispatch_client.exe'
  if server_ends_within 10 && wait "$server"; then ok "per-user: the user's registered command serves, then ends"; else bad "per-user server"; fi
  # The machine's registration beside the user's: unregistering the user's leaves it.
  wrun reg-machine "$win_exe" /RegServer
  if wrun unperuser "$win_exe" /UnregServerPerUser; then ok "/UnregServerPerUser exits 0"; else bad "/UnregServerPerUser" "$run/unperuser.err"; fi
  check_unregistered "per-user, after /UnregServerPerUser" 'HKCU\Software\Classes'
  check_registered machine-beside-per-user
}

# A receipt that spans other clients' work (early_client sell): sell_start LABEL PORT PRICE starts
# it in the background and waits until its receipt holds its line; sell_end LABEL lets it pay and
# close, and checks that every one of its steps succeeded. Its server writes the run's trace.
sell_start() {
  rm -f "$c/tests/sell.flag"
  MOLVEXECR_TRACE="Z:${com_trace//\//\\}" timeout -k 5 "$limit" wine 'C:\tests\early_client.exe' \
    sell "$2" "$3" 'C:\tests\sell.flag' >"$run/$1-seller.out" 2>&1 &
  seller=$!
  for _ in $(seq 100); do grep -q holding "$run/$1-seller.out" 2>/dev/null && break; sleep 0.1; done
}
sell_end() {  # sell_end LABEL WHAT
  touch "$c/tests/sell.flag"
  if wait "$seller" && grep -q ' passed, 0 failed' "$run/$1-seller.out"; then
    ok "$1: $2"
  else
    bad "$1: $2" "$run/$1-seller.out"
  fi
}

# The process id of the server that sold a line at this price, from the servers' trace (every
# block begins "<date> <time> pid <id> <entry>").
seller_pid() {  # seller_pid PRICE
  cat "$com_trace.1" "$com_trace" 2>/dev/null | tr -d '\r' |
    sed -nE "s/^[0-9-]{10} [0-9:.]+ pid ([0-9]+) SellArticul\(NameArt=\"[^\"]*\", Price=${1//./\\.}, .*/\1/p" | tail -1
}

# True when the paper roll in FILE holds a receipt with this total.
paper_total() {  # paper_total FILE AMOUNT
  grep -qE "^TOTAL +${2//./\\.}\$" "$1" 2>/dev/null
}

# Both ways of serving objects. The default registration: one server for every object, so a
# second program sees the port that a first one holds open. The registration with /PerClient: a
# server process for each object, each with its own port and state, so that two programs, or two
# objects of one program, drive two printers (COM1 and COM2) at the same time, and one's
# CloseComPort leaves the other's port alone. /UnregServer removes either form.
case_per_client() {
  wrun reg-shared "$win_exe" /RegServer
  server_ends_within 10 || bad "server still running before the shared clients"
  sell_start shared-seller 1 31.1
  # shared.vbs reads IsPresent without opening a port: true over the seller's port.
  script_client shared-while-selling shared.vbs
  sell_end shared-seller "default registration: the receipt on COM1 goes on after a second program used its port"
  server_ends_within 10 || bad "shared server still running after its clients"

  if wrun reg-per-client "$win_exe" /RegServer /PerClient && ! server_running; then
    ok "/RegServer /PerClient exits 0 without serving"
  else
    bad "/RegServer /PerClient" "$run/reg-per-client.err"
  fi
  check_registered per-client HKCR "$win_exe" 64 " /PerClient"

  local paper2=$run/paper-per-client.txt a b
  rm -f "$paper2"
  start_com2 sim-per-client --paper "$paper2"
  # Program A holds COM1 in the middle of a receipt while program B, in a server of its own,
  # finds no port open, has its CloseComPort(1) refused and sells a receipt on COM2.
  sell_start per-client-seller 1 41.1
  script_client per-client-other per_client.vbs other 2 1 4220
  sell_end per-client-seller "per client: the receipt on COM1 ends after the other program's CloseComPort(1)"
  a=$(seller_pid 41.1)
  b=$(seller_pid 42.2)
  if [ -n "$a" ] && [ -n "$b" ] && [ "$a" != "$b" ]; then
    ok "per client: two programs served by two server processes (pid $a, pid $b)"
  else
    bad "per client: two programs not served by two processes (pids '${a}' and '${b}')"
  fi
  # One program, two objects, two receipts open at the same time.
  script_client per-client-two per_client.vbs two 1 2 5110 5220
  a=$(seller_pid 51.1)
  b=$(seller_pid 52.2)
  if [ -n "$a" ] && [ -n "$b" ] && [ "$a" != "$b" ]; then
    ok "per client: two objects of one program served by two server processes (pid $a, pid $b)"
  else
    bad "per client: two objects of one program not served by two processes (pids '${a}' and '${b}')"
  fi
  # Objects made and released in a row, each creation a little later after the release before,
  # so that they meet the servers before at every moment of their end: each in a server of its
  # own all the same.
  native_client per-client-churn 'C:\tests\early_client.exe' fresh 12 133
  if server_ends_within 10; then ok "per client: every server ends after its object"; else bad "per client: a server still running after its object"; fi
  stop_com2
  if paper_total "$run/paper.txt" 41.10 && paper_total "$run/paper.txt" 51.10 &&
    paper_total "$paper2" 42.20 && paper_total "$paper2" 52.20; then
    ok "per client: the receipts printed, 41.10 and 51.10 on COM1, 42.20 and 52.20 on COM2"
  else
    bad "per client: the receipts on the paper rolls" <(grep -H '^TOTAL' "$run/paper.txt" "$paper2" 2>&1)
  fi

  if wrun unreg-per-client "$win_exe" /UnregServer; then ok "/UnregServer after /RegServer /PerClient exits 0"; else bad "/UnregServer after /PerClient" "$run/unreg-per-client.err"; fi
  check_unregistered "per client, /UnregServer"

  # The same choice with the registration for the current user.
  if wrun reg-per-client-user "$win_exe" /RegServerPerUser /PerClient; then ok "/RegServerPerUser /PerClient exits 0"; else bad "/RegServerPerUser /PerClient" "$run/reg-per-client-user.err"; fi
  check_registered per-client-user 'HKCU\Software\Classes' "$win_exe" 64 " /PerClient"
  wrun unreg-per-client-user "$win_exe" /UnregServerPerUser
  check_unregistered "per client, /UnregServerPerUser" 'HKCU\Software\Classes'
  wrun reg-after-per-client "$win_exe" /RegServer
}

case_killed_client() {
  # A client killed while it holds its object. Wine's COM keeps the references of a dead client
  # (it has no garbage collection of them); the server ends once an operator closes it.
  rm -f "$c/tests/killed.flag"
  timeout -k 5 "$limit" wine 'C:\tests\dispatch_client.exe' hold 'C:\tests\killed.flag' >"$run/killed.out" 2>&1 &
  local holder=$!
  for _ in $(seq 100); do grep -q holding "$run/killed.out" 2>/dev/null && break; sleep 0.1; done
  local pid
  pid=$(pgrep -f 'dispatch_client\.exe hold C:.tests.killed\.flag' | head -1)
  if [ -z "$pid" ]; then bad "killed client: the holding client did not start" "$run/killed.out"; return; fi
  kill -KILL "$pid"
  wait "$holder" 2>/dev/null
  sleep 3
  if server_running; then
    echo "     note: 3 s after its client was killed the server still holds the client's object"
    native_client after-killed 'C:\tests\dispatch_client.exe'
    if wrun close-killed 'C:\tests\close_server.exe' /answer yes && server_ends_within 10; then
      ok "killed client: the server with its object left ends when closed (warning, Yes)"
    else
      bad "killed client: the server did not end when closed" "$run/close-killed.out"
    fi
  else
    ok "killed client: the runtime released its object and the server ended"
  fi
}

# A day at the till through the server the package installed, on a printer of its own on COM2
# with the two articles examples/sale.vbs sells: the example's sale as it stands, then the Z
# report of installed.vbs, whose archive file the example settings put into C:\ECR. The archive
# is kept in $run/installed-archive.zre for the check after the uninstall.
installed_day() {
  local log=$c/ECR/infoZ.log paper=$run/paper-installed.txt rc
  rm -f "$log" "$paper" "$run/installed-archive".*
  start_com2 sim-installed --paper "$paper" --article "1,А,1,12.50,Хлеб" --article "2,Б,1,30.00,Молоко"

  cp "$root/examples/sale.vbs" "$c/tests/sale.vbs"
  rc=0
  run_script installed-sale sale.vbs 2 || rc=$?
  if [ $rc -eq 0 ] && grep -qx 'every call gave what it should' "$run/installed-sale.txt" &&
    ! grep -q FAILED "$run/installed-sale.txt" && grep -qx 'SetComPort: COM2 open (1)' "$run/installed-sale.txt"; then
    ok "examples/sale.vbs through the installed server: $(grep -c ': ok (' "$run/installed-sale.txt") calls gave what they should"
  else
    script_failed installed-sale "examples/sale.vbs through the installed server (exit code $rc)"
  fi
  script_client installed installed.vbs 2
  stop_com2

  if grep -qx 'TOTAL                     150.00' "$paper" && grep -qx '      FISCAL RECEIPT' "$paper" &&
    grep -qx '         Z-REPORT' "$paper"; then
    ok "the COM2 paper roll: the receipt of the sale (TOTAL 150.00) and the Z report"
  else
    bad "the COM2 paper roll" "$paper"
  fi

  # The log names the archive: <date><time>, IdReastaurant 12 and FiscalPrinter 3 of the example
  # settings; the file holds the Z data of the day: one receipt, the sale's taxes and payments.
  local name file
  name=$(iconv -f CP1251 -t UTF-8 "$log" 2>/dev/null | tr -d '\r' |
    sed -nE 's/.* Z-Отчет считан и записан в файл: C:\\ECR\\([^ ]+) $/\1/p')
  file=$c/ECR/$name
  tr -d '\r' <"$file" >"$run/installed-archive.txt" 2>/dev/null
  local want
  want=$(printf '%s\n' Z-REPORT MODEL=LT7260R Z=1 SALES_1=24.13 SALES_2=125.87 PAY_P=50.00 \
    PAY_N=100.00 RECEIPTS=1 NON_FISCAL=1 | while read -r l; do grep -qx "$l" "$run/installed-archive.txt" || echo "$l"; done)
  if [[ $name =~ ^[0-9]{12}123\.zre$ ]] && [ -z "$want" ] &&
    [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ]; then
    cp "$file" "$run/installed-archive.zre"
    echo "$name" >"$run/installed-archive.name"
    ok "the Z report's archive C:\\ECR\\$name: the day's receipt, taxes and payments, CR LF"
  else
    echo "missing lines: $want" >>"$run/installed-archive.txt"
    bad "no archive of the Z report in C:\\ECR (named in infoZ.log: ${name:-none})" "$run/installed-archive.txt"
  fi
}

# After the uninstall: the archive file of installed_day is still there, unchanged, and so is
# the log that names it.
installed_archive_stays() {
  local name
  name=$(cat "$run/installed-archive.name" 2>/dev/null)
  if [ -n "$name" ] && cmp -s "$run/installed-archive.zre" "$c/ECR/$name" &&
    iconv -f CP1251 -t UTF-8 "$c/ECR/infoZ.log" 2>/dev/null | grep -qF "$name"; then
    ok "uninstalled: C:\\ECR\\$name and the infoZ.log naming it are still there, unchanged"
  else
    bad "after the uninstall the Z report's archive ${name:-(none made)} is gone or changed" <(ls -la "$c/ECR" 2>&1)
  fi
}

# Who may change C:\ECR after an install (installer/settings_acl.cpp), read back with
# acl_dump.exe (owner, whether the DACL is protected, then each ACE as type, flags, mask, SID):
# owned by Administrators (S-1-5-32-544); nothing inherited from C:\; SYSTEM (S-1-5-18) and
# Administrators full control (0x1f01ff) of the folder and all in it (flags 0x03: objects and
# containers inherit); Users (S-1-5-32-545) read and execute (0x1200a9) of all, and add a file
# (0x100002) to the folder itself (flags 0x00); CREATOR OWNER (S-1-3-0) full control of what its
# creator made (0x0b: inherited only). Wine keeps a security descriptor it was given in the
# extended attribute user.wine.sd of the Unix directory.
check_settings_acl() {
  # The package's action ran and said it set them: msiexec's log of the install (in the language
  # of the run's locale) has the line that ends the action with its return value 1, success.
  # Wine's installer service may write the log out after msiexec has returned: up to 10 s.
  local logged=0
  for _ in $(seq 50); do
    if tr -d '\r\0' <"$c/tests/msi-install.log" 2>/dev/null |
      LC_ALL=C grep -qaE ' [0-9:]+: SecureSettingsDir\. [^0-9]+ 1\.$'; then
      logged=1
      break
    fi
    sleep 0.2
  done
  if [ $logged = 1 ]; then
    ok "the package set the permissions of C:\\ECR (its action ran and succeeded)"
  else
    bad "the package's action for the permissions of C:\\ECR did not succeed" "$c/tests/msi-install.log"
  fi
  local got=$run/settings-acl.txt
  if ! wrun settings-acl 'C:\tests\acl_dump.exe' 'C:\ECR'; then
    bad "the security descriptor of C:\\ECR cannot be read" "$run/settings-acl.out"
    return
  fi
  tr -d '\r' <"$run/settings-acl.out" >"$got"
  printf '%s\n' 'owner S-1-5-32-544' 'dacl protected' 'allow 0x03 0x001f01ff S-1-5-18' \
    'allow 0x03 0x001f01ff S-1-5-32-544' 'allow 0x03 0x001200a9 S-1-5-32-545' \
    'allow 0x00 0x00100002 S-1-5-32-545' 'allow 0x0b 0x001f01ff S-1-3-0' >"$run/settings-acl.want"
  if diff -u "$run/settings-acl.want" "$got" >"$run/settings-acl.diff"; then
    ok "C:\\ECR: owned by Administrators; Administrators and SYSTEM full control, Users read and add files, nothing inherited"
  elif ! python3 -c 'import os, sys; os.getxattr(sys.argv[1], "user.wine.sd")' "$c/ECR" 2>/dev/null; then
    # Measured with Wine 8: SetNamedSecurityInfoW on a directory succeeds and stores nothing, so
    # what is read back is Wine's default; only a stored descriptor can be compared.
    skip settings-acl "this Wine stores no security descriptor of a directory (no user.wine.sd on $c/ECR)"
  else
    bad "the permissions of C:\\ECR after the install" "$run/settings-acl.diff"
  fi
}

case_installer() {
  # The package installs, registers and uninstalls the 64-bit server; C:\ECR stays as it is.
  wrun unreg-manual "$win_exe" /UnregServer
  local installed='C:\Program Files\MolvexECR\MolvexECR.exe' settings=$c/ECR/ZRepRec.ini
  printf 'Z1\r\n' >"$c/ECR/1_1_00001.zre"
  # First with the shop's own settings file, which the package leaves alone.
  printf '[Identification]\r\nIdReastaurant=42\r\n' >"$settings"
  rm -f "$c/tests/msi-install.log"
  if wrun msi-install msiexec /i 'C:\tests\MolvexECR.msi' /qn /l*v 'C:\tests\msi-install.log'; then ok "msiexec /i /qn exits 0"; else bad "msiexec /i" "$run/msi-install.err"; fi
  check_settings_acl
  installed_kit present
  check_registered installed HKCR "$installed"
  if [ "$(cat "$settings")" = "$(printf '[Identification]\r\nIdReastaurant=42\r')" ]; then
    ok "the installer leaves an existing settings file as it is"
  else
    bad "the installer changed the existing settings file" "$settings"
  fi
  if wrun msi-remove msiexec /x 'C:\tests\MolvexECR.msi' /qn; then ok "msiexec /x /qn exits 0"; else bad "msiexec /x" "$run/msi-remove.err"; fi
  check_unregistered uninstalled
  installed_kit gone
  if [ ! -e "$c/Program Files/MolvexECR/MolvexECR.exe" ] && [ -s "$c/ECR/1_1_00001.zre" ] &&
    grep -q '=42' "$settings"; then
    ok "uninstalled: the program is gone, C:\\ECR keeps its archive and settings"
  else
    bad "after the uninstall" <(ls -la "$c/Program Files/MolvexECR" "$c/ECR" 2>&1)
  fi
  # Then without one: the package writes its commented example, the server reads it, and an
  # uninstall keeps it.
  rm -f "$settings"
  wrun msi-install2 msiexec /i 'C:\tests\MolvexECR.msi' /qn
  if grep -q '^\[Identification\]' "$settings" 2>/dev/null && grep -q '^; ' "$settings"; then
    ok "the installer wrote the commented example settings file"
  else
    bad "no example C:\\ECR\\ZRepRec.ini after the install"
  fi
  installed_day
  if server_ends_within 10; then ok "installed server ends after its client"; else bad "installed server still running"; fi
  wrun msi-remove2 msiexec /x 'C:\tests\MolvexECR.msi' /qn
  if [ -s "$settings" ] && ! server_running && [ ! -e "$c/Program Files/MolvexECR/MolvexECR.exe" ]; then
    ok "uninstalled again: the example settings file stays"
  else
    bad "the second uninstall"
  fi
  check_unregistered "uninstalled again"
  installed_archive_stays
  wrun reg-after-msi "$win_exe" /RegServer
}

# The package's option: PERCLIENT=1 registers the installed server per object; a repair without
# the property keeps that form, one with PERCLIENT=0 registers the shared server; the uninstall
# removes the registration. (A repair as Windows runs it: REINSTALL=ALL.)
case_installer_per_client() {
  wrun unreg-manual-per-client "$win_exe" /UnregServer
  local installed='C:\Program Files\MolvexECR\MolvexECR.exe' repair='REINSTALL=ALL REINSTALLMODE=vomus'
  if wrun msi-install-per-client msiexec /i 'C:\tests\MolvexECR.msi' /qn PERCLIENT=1; then
    ok "msiexec /i /qn PERCLIENT=1 exits 0"
  else
    bad "msiexec /i PERCLIENT=1" "$run/msi-install-per-client.err"
  fi
  check_registered installed-per-client HKCR "$installed" 64 " /PerClient"
  # shellcheck disable=SC2086
  wrun msi-repair-per-client msiexec /i 'C:\tests\MolvexECR.msi' /qn $repair || bad "repair" "$run/msi-repair-per-client.err"
  check_registered repaired-keeps-per-client HKCR "$installed" 64 " /PerClient"
  # shellcheck disable=SC2086
  wrun msi-repair-shared msiexec /i 'C:\tests\MolvexECR.msi' /qn $repair PERCLIENT=0 || bad "repair with PERCLIENT=0" "$run/msi-repair-shared.err"
  check_registered repaired-with-perclient-0 HKCR "$installed"
  if wrun msi-remove-per-client msiexec /x 'C:\tests\MolvexECR.msi' /qn; then ok "msiexec /x /qn exits 0"; else bad "msiexec /x" "$run/msi-remove-per-client.err"; fi
  check_unregistered "uninstalled after the repairs"
  wrun reg-after-msi-per-client "$win_exe" /RegServer
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
  local rc=0
  loader=wine run_script sale-vbs sale.vbs 2 || rc=$?
  if [ $rc -eq 0 ] && grep -qx 'every call gave what it should' "$run/sale-vbs.txt" &&
    ! grep -q FAILED "$run/sale-vbs.txt"; then
    ok "examples/sale.vbs as it stands: every call gave what it should"
  else
    script_failed sale-vbs "examples/sale.vbs (exit code $rc)"
  fi
  if server_ends_within 10; then ok "server ends after examples/sale.vbs"; else bad "server still running after examples/sale.vbs"; fi

  script_client receipts receipts.js 2
  # "Сок апельсиновый" of SellArticul in the article programming, in Windows-1251.
  if LC_ALL=C grep -qaF "$(printf '\xd1\xee\xea \xe0\xef\xe5\xeb\xfc\xf1\xe8\xed\xee\xe2\xfb\xe9')" "$bytes"; then
    ok "SellArticul: the Cyrillic name reaches the printer as Windows-1251 bytes"
  else
    bad "SellArticul: the Cyrillic name not found as Windows-1251 bytes on COM2"
  fi
  # Command 120 (0x78) of NewPayment: 10.00 as asked, then the rest of 25.00 read from the printer.
  if LC_ALL=C grep -qaF "$(printf 'x1,10.00,TX-0001\x05')" "$bytes" &&
    LC_ALL=C grep -qaF "$(printf 'x1,15.00,TX-0002\x05')" "$bytes"; then
    ok "NewPayment: the payments with a transaction code on the line, the rest as 15.00"
  else
    bad "NewPayment: command 120 with 1,10.00,TX-0001 and 1,15.00,TX-0002 not found on COM2"
  fi
  if server_ends_within 10; then ok "server ends after the receipts client"; else bad "server still running after the receipts client"; fi
  kill "$tap2" "$sim2" 2>/dev/null
  wait "$tap2" "$sim2" 2>/dev/null
}

# Every slot of ITECRFisc called at least once through COM in this run. The record is the
# servers' own: every entry names itself on the first line of its block in the protocol trace
# that the run hands to the servers ($com_trace, see wrun), after COM has delivered the call and
# before the entry does anything, so a call that COM or the dispatch refuses never counts, and
# what a client claims does not count either. A method is written "Name(...)", a property read
# "Name", a property write "Name = value": reads and writes are separate slots. Programs that carry
# the object themselves never get the trace, so in-process calls are not in it.
case_every_slot() {
  if [ -n "${MOLVEX_WINE_CASES:-}" ]; then
    echo "     note: the slot count needs every client of the run; not made for chosen cases"
    return
  fi
  local table=$run/slots-table.txt called=$run/slots-called.txt missing=$run/slots-missing.txt
  local unknown=$run/slots-unknown.txt calls
  if [ ! -x "$dump_table" ]; then
    bad "slot count: $dump_table missing"
    return
  fi
  "$dump_table" | awk '{ print $2, $3, $4 }' >"$table"  # slot, name, kind
  # "2026-12-10 14:03:07.412 pid 4242 Name(...)", "... Name", "... Name = value"
  cat "$com_trace.1" "$com_trace" 2>/dev/null | tr -d '\r' |
    sed -nE 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:.]+ pid ([0-9]+) ([A-Za-z_][A-Za-z0-9_]*)(\(.*| = .*)?$/\1 \2 \3/p' |
    awk '{ kind = $3 == "" ? "propget" : $3 == "=" ? "propput" : "method"; print $1, $2, kind }' >"$called"
  calls=$(wc -l <"$called")
  awk 'NR == FNR { seen[$2 " " $3] = 1; next } !(($2 " " $3) in seen) { print "slot " $1 " " $2 " (" $3 ")" }' \
    "$called" "$table" >"$missing"
  awk 'NR == FNR { slot[$2 " " $3] = 1; next } !(($2 " " $3) in slot) { print $2 " (" $3 ")" }' \
    "$table" "$called" | sort -u >"$unknown"
  local slots
  slots=$(frozen_slot_count)
  if [ "$(wc -l <"$table")" != "$slots" ]; then
    bad "slot count: the interface table lists $(wc -l <"$table") slots, not $slots" "$table"
  elif [ -s "$unknown" ]; then
    bad "slot count: the servers' trace names calls that are no slot: $(paste -sd, "$unknown")"
  elif [ -s "$missing" ]; then
    bad "$(wc -l <"$missing") of the $slots slots of ITECRFisc never called through COM: $(sed 's/^slot //' "$missing" | paste -sd, | sed 's/,/, /g')"
  else
    ok "every one of the $slots slots of ITECRFisc called through COM ($calls calls, from the servers' trace)"
  fi
}

all_cases=(exports registration typelib scripts examples example_close_day example_retry
  example_lost_reply early_bound two_clients churn close_warning started_by_hand archive_seams
  windows_sim reports images_32bit
  clients_32bit killed_client server_32bit per_user per_client installer installer_per_client
  ecrfisc_exe receipts trace service_libs service_exe every_slot)

# Every case in order, or only those named in MOLVEX_WINE_CASES (names as in all_cases, "-" for
# "_", a name may repeat: MOLVEX_WINE_CASES="churn churn examples"). A chosen run registers the
# server first unless the registration case is among its cases.
run_cases() {
  local chosen=() name
  read -r -a chosen <<<"${MOLVEX_WINE_CASES:-}"
  if [ ${#chosen[@]} -eq 0 ]; then
    chosen=("${all_cases[@]}")
  elif [[ " ${chosen[*]} " != *" registration "* ]]; then
    wrun regserver-chosen "$win_exe" /RegServer || bad "/RegServer before the chosen cases" "$run/regserver-chosen.err"
  fi
  for name in "${chosen[@]}"; do
    name=${name//-/_}
    if [[ " ${all_cases[*]} " == *" $name "* ]]; then
      "case_$name"
    else
      bad "no Wine case named '$name' (cases: ${all_cases[*]})"
    fi
  done
}

source "$root/tests/wine/ecrfisc_cases.sh"
source "$root/tests/wine/service_cases.sh"

case_trace() {
  # The protocol trace of the server, turned on by the [Trace] section of the settings file: a
  # script sale leaves its calls, the client's arguments and the bytes on the line as UTF-8, the
  # operator's password masked. The settings file is restored after.
  local trace=$c/ECR/trace.log
  rm -f "$trace"
  settings_use '[Identification]\r\nIdReastaurant=17\r\n[Trace]\r\nFile=C:\\ECR\\trace.log\r\nMaxSizeKB=256\r\n'
  server_ends_within 10 || bad "server still running before the traced sale"
  # No trace from the environment: the settings file turns it on.
  MOLVEXECR_TRACE= script_client trace trace.vbs
  settings_restore
  if server_ends_within 10; then ok "server ends after the traced sale"; else bad "server still running after the traced sale"; fi

  local text=$run/trace.txt missing=()
  tr -d '\r' <"$trace" >"$text" 2>/dev/null
  local want=(
    ' OpenFiscReceipt(OperatorNum=2, POSNum=7, OperatorPSW=***)'
    '  48 Открыть фискальный чек "00002,***,00007,I"'
    ' SellArticul(NameArt="Чай зелёный", Price=45.5, Quantity=2, Tax=1, Group=4, Password=***, Perc=0, dc=0)'
    ',4,45.50,,Чай зелёный"'
    '  = Result=1, StatusBytes=0, GetError=0'
    ' Payment(Summa=0, type=0)'
    '  53 Общая сумма чека (Total) "\tP91.00"'
    ' CloseFiscReceipt()'
  )
  for w in "${want[@]}"; do grep -qF -- "$w" "$text" || missing+=("$w"); done
  if [ -s "$text" ] && iconv -f UTF-8 -t UTF-8 "$text" >/dev/null 2>&1 && [ ${#missing[@]} -eq 0 ] &&
    ! grep -q 'тайна42' "$text" && grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:.]{12} pid [0-9]+ SellArticul' "$text"; then
    ok "trace of the server's sale: UTF-8, the Cyrillic name and the client's arguments, the password masked"
  else
    printf 'missing: %s\n' "${missing[@]}" >>"$text"
    bad "trace of the server's sale" "$text"
  fi
}
