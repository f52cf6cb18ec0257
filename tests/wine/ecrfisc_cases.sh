# shellcheck shell=bash disable=SC2154
# ecrfisc.exe under Wine: the command-line client with the object in its own process, on the
# Win32 serial ports (no server). Sourced by tests/wine/cases.sh; uses ok/bad/wrun/host_sent.

case_ecrfisc_exe() {
  local exe=$mingw/tools/ecrfisc/ecrfisc.exe native_ecrfisc=$native/tools/ecrfisc/ecrfisc
  if [ ! -x "$exe" ]; then
    bad "ecrfisc.exe missing ($exe)"
    return
  fi
  cp "$exe" "$c/tests/"
  # Its own virtual printer on COM4, the far end of the null-modem pair.
  timeout -k 5 120 wine 'C:\tests\ecr-sim.exe' --device COM4 --busy-scale 0 \
    >"$run/ecrfisc-sim.out" 2>"$run/ecrfisc-sim.err" &
  local sim=$!
  for _ in $(seq 100); do grep -q 'listening on COM4' "$run/ecrfisc-sim.out" 2>/dev/null && break; sleep 0.1; done

  if wrun ecrfisc-probe 'C:\tests\ecrfisc.exe' --port 3 --speed 115200 --probe &&
    grep -q 'IsPresent: Result = true' "$run/ecrfisc-probe.out" &&
    grep -q 'GetSerNumber: Number = "LT00012345"' "$run/ecrfisc-probe.out"; then
    ok "ecrfisc.exe --probe over COM3 to ecr-sim.exe on COM4"
  else
    bad "ecrfisc.exe --probe over COM3" "$run/ecrfisc-probe.out"
  fi

  # Cyrillic arguments: UTF-16 command line -> UTF-8 -> the object -> Windows-1251 on the wire
  # (COM1 records what the host sends).
  if wrun ecrfisc-calls 'C:\tests\ecrfisc.exe' --json 'SetComPort 1 115200' \
    'DisplayUP "Ёлка и Ель"' DateTime 'CloseComPort 1' &&
    grep -q '"call":"DisplayUP","hresult":0,"out":{"Result":-1}' "$run/ecrfisc-calls.out" &&
    grep -qE '"call":"DateTime","hresult":0,"out":\{"Value":"[0-9]{2}-[0-9]{2}-[0-9]{2} ' "$run/ecrfisc-calls.out" &&
    host_sent '\xa8\xeb\xea\xe0 \xe8 \xc5\xeb\xfc'; then
    ok "ecrfisc.exe calls with Cyrillic text: Windows-1251 on the wire"
  else
    bad "ecrfisc.exe calls with Cyrillic text" "$run/ecrfisc-calls.out"
  fi

  # A port that does not exist: the entry's result as ever, the reason on the next line.
  wrun ecrfisc-missing 'C:\tests\ecrfisc.exe' --port 9 --probe
  local rc=$?
  if [ $rc -eq 1 ] && grep -q '^SetComPort: Result = -1' "$run/ecrfisc-missing.out" &&
    grep -qF 'port error: port 9 is \\.\COM9: no such device' "$run/ecrfisc-missing.out" &&
    grep -qF 'COM3' "$run/ecrfisc-missing.out"; then
    ok "ecrfisc.exe names the missing COM9 and the ports there are"
  else
    bad "ecrfisc.exe on a missing port (exit $rc)" "$run/ecrfisc-missing.out"
  fi

  # The search: printers on COM1 and COM3. COM4 is ecr-sim.exe's own end: Windows refuses a
  # second open of it (in use, skipped); Wine lets it open, and the status read sent there goes
  # to COM3 with nobody reading, so COM4 must not pass for a printer.
  wrun ecrfisc-find 'C:\tests\ecrfisc.exe' --find
  rc=$?
  tr -d '\r' <"$run/ecrfisc-find.out" >"$run/ecrfisc-find.txt"
  if [ $rc -eq 0 ] && grep -qF '\\.\COM1 (port 1): printer at 115200 baud, serial number LT00012345' "$run/ecrfisc-find.txt" &&
    grep -qF '\\.\COM3 (port 3): printer at 115200 baud, serial number LT00012345' "$run/ecrfisc-find.txt" &&
    grep -qE '^  \\\\\.\\COM4 \(port 4\): (no answer|in use by another program, skipped)$' "$run/ecrfisc-find.txt" &&
    grep -qF '2 printers found' "$run/ecrfisc-find.txt"; then
    ok "ecrfisc.exe --find: $(grep -E 'printers? found' "$run/ecrfisc-find.txt")"
  else
    bad "ecrfisc.exe --find (exit $rc)" "$run/ecrfisc-find.txt"
  fi

  if wrun ecrfisc-list 'C:\tests\ecrfisc.exe' --list && [ -x "$native_ecrfisc" ] &&
    diff <(tr -d '\r' <"$run/ecrfisc-list.out") <("$native_ecrfisc" --list) >"$run/ecrfisc-list.diff"; then
    ok "ecrfisc.exe --list equals the native one ($(wc -l <"$run/ecrfisc-list.out") slots)"
  else
    bad "ecrfisc.exe --list differs from the native one" "$run/ecrfisc-list.diff"
  fi

  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
}
