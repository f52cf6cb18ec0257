# shellcheck shell=bash disable=SC2154
# The print service under Wine. Sourced by tests/wine/cases.sh; uses ok/bad/wrun.

# The service's libraries as the Windows build links them (scripts/windows-libs.sh): a journal
# in WAL mode and a loopback HTTP exchange inside one program; from outside, the journal's
# header says WAL (file format versions 2 at bytes 18 and 19).
case_service_libs() {
  local dir=$c/tests/service-libs out=$run/service-libs.out
  if [ ! -f "$c/tests/service_libs.exe" ]; then
    bad "service_libs.exe missing: scripts/windows-libs.sh, then the Windows build"
    return
  fi
  rm -rf "$dir"
  mkdir -p "$dir"
  if wrun service-libs 'C:\tests\service_libs.exe' 'C:\tests\service-libs' &&
    grep -q ' passed, 0 failed' "$out" &&
    [ "$(head -c 16 "$dir/journal.db" 2>/dev/null | tr -d '\0')" = 'SQLite format 3' ] &&
    [ "$(od -An -tu1 -j18 -N2 "$dir/journal.db" | tr -s ' ')" = ' 2 2' ]; then
    ok "service libraries ($(head -1 "$out" | tr -d '\r')): WAL journal, loopback exchange: $(tail -1 "$out" | tr -d '\r')"
  else
    bad "service libraries under Wine" "$out"
  fi
}

# The support kit the package installs beside the server, byte for byte: ecrfisc.exe, ecr-sim.exe
# and ecr-service.exe (when the build has it, with the licences of its libraries) as built, docs\entries.md, and every example but
# the Linux shell scripts, the script files in Windows-1251 (the script host's code page here).
# installed_kit present|gone
installed_kit() {
  local dir="$c/Program Files/MolvexECR" want=$run/kit-want.txt got=$run/kit-$1.txt f name
  local service
  service=$(find "$mingw/service" -maxdepth 2 -name ecr-service.exe 2>/dev/null | head -1)
  : >"$want"
  for f in "$mingw/tools/ecrfisc/ecrfisc.exe" "$win_sim" ${service:+"$service"}; do
    echo "$(basename "$f") $(md5sum <"$f" | cut -d' ' -f1)" >>"$want"
  done
  echo "docs/entries.md $(md5sum <"$root/docs/entries.md" | cut -d' ' -f1)" >>"$want"
  if [ -n "$service" ]; then  # the licences of the libraries ecr-service.exe carries
    local libs
    libs=$(sed -n 's/^MOLVEX_THIRD_PARTY:PATH=//p' "$mingw/CMakeCache.txt")/x86_64-w64-mingw32
    for f in cpp-httplib sqlite3; do
      echo "docs/licenses/$f.txt $(md5sum <"$libs/share/licenses/$f.txt" | cut -d' ' -f1)" >>"$want"
    done
  fi
  for f in "$root"/examples/*; do
    name=$(basename "$f")
    case $name in
      *.sh) ;;
      *.vbs) echo "examples/$name $(iconv -f UTF-8 -t CP1251 "$f" | md5sum | cut -d' ' -f1)" >>"$want" ;;
      *) echo "examples/$name $(md5sum <"$f" | cut -d' ' -f1)" >>"$want" ;;
    esac
  done
  sort -o "$want" "$want"
  (cd "$dir" 2>/dev/null && find . -type f ! -name MolvexECR.exe -printf '%P\n' | sort |
    while read -r f; do echo "$f $(md5sum <"$f" | cut -d' ' -f1)"; done) >"$got"
  if [ "$1" = present ]; then
    if [ -s "$got" ] && diff -u "$want" "$got" >"$run/kit.diff"; then
      ok "installed beside the server: $(wc -l <"$got") files of the support kit, as built (${service:+ecr-service.exe, }ecrfisc.exe, ecr-sim.exe, docs, examples)"
    else
      bad "the support kit installed beside the server" "$run/kit.diff"
    fi
  elif [ ! -s "$got" ]; then
    ok "uninstalled: nothing of the support kit left"
  else
    bad "after the uninstall the support kit is still there" "$got"
  fi
}

# ecr-service.exe selling one receipt posted from the Linux side over loopback, to ecr-sim.exe on
# COM4 reached through COM3 (the null-modem pair), with the articles examples/receipt.json sells:
# the answer, the paper roll, the same request answered from the journal without printing, also
# after a restart of the service.
case_service_exe() {
  local exe dir=$c/tests/service win_dir='C:\tests\service' port out=$run/service-exe
  exe=$(find "$mingw/service" -maxdepth 2 -name ecr-service.exe 2>/dev/null | head -1)
  if [ -z "$exe" ]; then
    if [ -f "$root/service/CMakeLists.txt" ]; then
      bad "ecr-service.exe missing from $mingw/service (build it first)"
    else
      skip service-exe "this tree has no print service yet"
    fi
    return
  fi
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$exe" "$c/tests/"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf '[service]\r\nlisten = 127.0.0.1\r\nport = %s\r\njournal = %s\\journal.sqlite\r\n\r\n[printer:till]\r\nport = 3\r\nspeed = 115200\r\n' \
    "$port" "$win_dir" >"$dir/ecr-service.ini"
  timeout -k 5 120 wine 'C:\tests\ecr-sim.exe' --device COM4 --busy-scale 0 \
    --article "1,А,1,12.50,Хлеб" --article "2,Б,1,30.00,Молоко" --paper "$win_dir\\paper.txt" \
    >"$out-sim.out" 2>"$out-sim.err" &
  local sim=$! service=
  for _ in $(seq 100); do grep -q 'listening on COM4' "$out-sim.out" 2>/dev/null && break; sleep 0.1; done

  service_start() {  # service_start N: ecr-service.exe in the background, its output in $out-N.out
    timeout -k 5 120 wine 'C:\tests\ecr-service.exe' --settings "$win_dir\\ecr-service.ini" \
      >"$out-$1.out" 2>"$out-$1.err" &
    service=$!
    for _ in $(seq 150); do grep -q 'listening on' "$out-$1.out" 2>/dev/null && break; sleep 0.1; done
  }
  service_stop() {
    kill "$service" 2>/dev/null
    wait "$service" 2>/dev/null
  }
  post() {  # post NAME: the example receipt under one key; answer in $out-NAME.json
    curl -s --max-time 60 -D "$out-$1.head" -o "$out-$1.json" -w '%{http_code}' \
      -H 'Content-Type: application/json' -H 'Idempotency-Key: wine-till-0001' \
      --data-binary @"$root/examples/receipt.json" "http://127.0.0.1:$port/v1/printers/till/receipts"
  }
  receipts() { grep -cx '      FISCAL RECEIPT' "$dir/paper.txt" 2>/dev/null; }

  service_start 1
  local status
  status=$(post sale)
  if [ "$status" = 200 ] && grep -q '"total":"150.00"' "$out-sale.json" &&
    grep -q '"change":"0.00"' "$out-sale.json" && grep -qx 'TOTAL                     150.00' "$dir/paper.txt" &&
    [ "$(receipts)" = 1 ]; then
    ok "ecr-service.exe sold examples/receipt.json posted from Linux: $(tr -d '\r\n' <"$out-sale.json")"
  else
    bad "ecr-service.exe and examples/receipt.json (HTTP $status)" \
      <(cat "$out-sale.json" "$out-1.out" "$out-1.err" "$dir/paper.txt" 2>/dev/null)
  fi
  status=$(post again)
  service_stop
  service_start 2
  local after
  after=$(post restarted)
  service_stop
  if [ "$status" = 200 ] && [ "$after" = 200 ] && grep -qi '^Idempotent-Replayed: true' "$out-again.head" &&
    grep -qi '^Idempotent-Replayed: true' "$out-restarted.head" && cmp -s "$out-sale.json" "$out-restarted.json" &&
    [ "$(receipts)" = 1 ]; then
    ok "ecr-service.exe: the same request again, and after a restart, answered from its journal; one receipt on the roll"
  else
    bad "ecr-service.exe replay (HTTP $status, after the restart $after)" \
      <(cat "$out-again.head" "$out-restarted.head" "$out-restarted.json" "$out-2.err" 2>/dev/null)
  fi
  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
}
