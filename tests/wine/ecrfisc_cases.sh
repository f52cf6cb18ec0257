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
  # Its own virtual printer on COM4, the far end of the null-modem pair, with the articles the
  # sale example sells and its paper roll in a folder of a Cyrillic name, as a user's folder
  # may be (C:\tests\Иван).
  local folder=$c/tests/Иван
  rm -rf "$folder"
  mkdir -p "$folder"
  timeout -k 5 120 wine 'C:\tests\ecr-sim.exe' --device COM4 --busy-scale 0 \
    --article "1,А,1,12.50,Хлеб" --article "2,Б,1,30.00,Молоко" --paper 'C:\tests\Иван\paper.txt' \
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

  # The sale of examples/sale.txt as it stands (UTF-8, LF), from the Cyrillic folder: every "=>"
  # is met (else ecrfisc.exe exits 1), the output is readable UTF-8, and the roll of ecr-sim.exe,
  # which reads the texts as Windows-1251 bytes, shows the receipt.
  cp "$root/examples/sale.txt" "$folder/sale.txt"
  wrun ecrfisc-sale 'C:\tests\ecrfisc.exe' --port 3 --speed 115200 --echo --script 'C:\tests\Иван\sale.txt'
  rc=$?
  tr -d '\r' <"$run/ecrfisc-sale.out" >"$run/ecrfisc-sale.txt"
  if [ $rc -eq 0 ] && ! grep -q 'NOT AS EXPECTED' "$run/ecrfisc-sale.txt" &&
    grep -qxF '> SellArticul "Сок яблочный 1 л" 89.90 1 1 3 "" 0 0' "$run/ecrfisc-sale.txt" &&
    grep -qx 'CloseFiscReceipt: Result = true' "$run/ecrfisc-sale.txt" &&
    grep -qx 'CloseNonFiscReceipt: Result = true' "$run/ecrfisc-sale.txt"; then
    ok "ecrfisc.exe --script examples/sale.txt over COM3: $(grep -c '=>' "$folder/sale.txt") expectations met"
  else
    tr -d '\r' <"$run/ecrfisc-sale.err" | tail -5 | sed 's/^/stderr: /' >>"$run/ecrfisc-sale.txt"
    bad "ecrfisc.exe --script examples/sale.txt over COM3 (exit $rc)" "$run/ecrfisc-sale.txt"
  fi
  local missing
  missing=$(while IFS= read -r line; do grep -qxF -- "$line" "$folder/paper.txt" 2>/dev/null || echo "$line"; done <<'ROLL'
Хлеб                     25.00 А
Молоко                   40.50 Б
Сок яблочный 1 л         89.90 Б
TOTAL                     150.00
      FISCAL RECEIPT
Спасибо за покупку!
Ждём вас снова.
ROLL
  )
  if [ -z "$missing" ]; then
    ok "the roll of ecr-sim.exe in C:\\tests\\Иван: the receipt of the sale, Cyrillic intact"
  else
    printf 'missing on the roll:\n%s\n' "$missing" >"$run/ecrfisc-roll.txt"
    cat "$folder/paper.txt" >>"$run/ecrfisc-roll.txt" 2>/dev/null
    bad "the roll of ecr-sim.exe after the sale" "$run/ecrfisc-roll.txt"
  fi

  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
}
