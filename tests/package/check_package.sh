#!/usr/bin/env bash
# Checks the Debian package: its files and control fields, then the programs installed into a
# clean directory tree (dpkg -x) and run from there: --help, --list, the manual pages, a session
# of the installed ecrfisc with the installed ecr-sim and the sale of the installed
# examples/sale.txt.
# Usage: tests/package/check_package.sh DEB [NATIVE_ECRFISC]
set -uo pipefail
deb=$(realpath "$1")
native_ecrfisc=${2:-}
root_dir=$(cd "$(dirname "$0")/../.." && pwd)

passed=0
failed=0
ok() { passed=$((passed + 1)); echo "ok   $1"; }
bad() { failed=$((failed + 1)); echo "FAIL $1"; [ -z "${2:-}" ] || sed 's/^/     | /' "$2" | tail -20; }

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -z "${service_pid:-}" ] || kill "$service_pid" 2>/dev/null
  [ -z "${service_sim_pid:-}" ] || kill "$service_sim_pid" 2>/dev/null
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

version=$(sed -n 's/^project(MolvexECR VERSION \([0-9.]*\).*/\1/p' "$root_dir/CMakeLists.txt")
[ "$(basename "$deb")" = "molvexecr_${version}_amd64.deb" ] && ok "file name $(basename "$deb")" ||
  bad "file name $(basename "$deb") (version $version)"

# The print service is in the package when the sources have it (tests/package/check_service.sh).
service=0
[ ! -f "$root_dir/service/CMakeLists.txt" ] || service=1

# --- contents: exactly these files ------------------------------------------------------------
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files.txt"
{
  [ $service = 0 ] || printf '%s\n' ./usr/bin/ecr-service ./lib/systemd/system/ecr-service.service \
    ./etc/molvexecr/ecr-service.ini ./usr/share/man/man1/ecr-service.1.gz \
    ./usr/share/doc/molvexecr/examples/receipt.json
  cat
} <<LIST | sort >"$work/want.txt"
./usr/bin/ecr-sim
./usr/bin/ecrfisc
./usr/share/doc/molvexecr/README.md
./usr/share/doc/molvexecr/copyright
./usr/share/doc/molvexecr/examples/ZRepRec.ini
./usr/share/doc/molvexecr/examples/archsend-standin.sh
./usr/share/doc/molvexecr/examples/close-day.txt
./usr/share/doc/molvexecr/examples/sale.txt
./usr/share/man/man1/ecr-sim.1.gz
./usr/share/man/man1/ecrfisc.1.gz
LIST
if diff "$work/want.txt" "$work/files.txt" >"$work/files.diff"; then
  ok "contents: $(tr '\n' ' ' <"$work/files.txt")"
else
  bad "contents differ from the list" "$work/files.diff"
fi

# --- control fields ---------------------------------------------------------------------------
dpkg-deb -f "$deb" >"$work/control.txt"
depends=$(dpkg-deb -f "$deb" Depends)
if [ "$(dpkg-deb -f "$deb" Package)" = molvexecr ] && [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] &&
  [ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] &&
  [[ $depends == *libc6* ]] && [[ $depends == *libstdc++6* ]] && [[ $depends == *libinih1* ]]; then
  ok "control: molvexecr $version amd64, Depends: $depends"
else
  bad "control fields" "$work/control.txt"
fi
# The declared dependencies hold on this machine (every name installed, in a version allowed).
if dpkg-checkbuilddeps -d "$depends" /dev/null >"$work/deps.txt" 2>&1; then
  ok "the declared dependencies are met here"
else
  bad "the declared dependencies are not met" "$work/deps.txt"
fi

# --- installed into a clean tree ----------------------------------------------------------------
tree=$work/root
dpkg -x "$deb" "$tree"
bin=$tree/usr/bin
examples=$tree/usr/share/doc/molvexecr/examples
for p in ecrfisc ecr-sim; do
  if ldd "$bin/$p" >"$work/ldd-$p.txt" 2>&1 && ! grep -q 'not found' "$work/ldd-$p.txt" &&
    ! grep -q "$root_dir" "$work/ldd-$p.txt"; then
    ok "$p: every library found on the system"
  else
    bad "$p: libraries" "$work/ldd-$p.txt"
  fi
done

if "$bin/ecrfisc" --help >"$work/help.txt" 2>&1 && grep -q -- '--find' "$work/help.txt"; then
  ok "ecrfisc --help"
else
  bad "ecrfisc --help" "$work/help.txt"
fi

"$bin/ecrfisc" --list >"$work/list.txt" 2>&1
if [ "$(wc -l <"$work/list.txt")" -eq 110 ] && head -1 "$work/list.txt" | grep -q '^slot 1 GetVerDLL ' &&
  tail -1 "$work/list.txt" | grep -q '^slot 110 MakeBarcode '; then
  ok "ecrfisc --list: 110 entries, GetVerDLL to MakeBarcode"
else
  bad "ecrfisc --list" "$work/list.txt"
fi
if [ -n "$native_ecrfisc" ]; then
  if diff <("$native_ecrfisc" --list) "$work/list.txt" >"$work/list.diff"; then
    ok "ecrfisc --list equals that of $native_ecrfisc"
  else
    bad "ecrfisc --list differs from that of $native_ecrfisc" "$work/list.diff"
  fi
fi

# The examples as they stand in the repository (a user runs them from there).
changed=$(for f in sale.txt close-day.txt ZRepRec.ini archsend-standin.sh; do
  cmp -s "$root_dir/examples/$f" "$examples/$f" || echo "$f"
done)
if [ -z "$changed" ]; then
  ok "examples in /usr/share/doc/molvexecr/examples as in the repository"
else
  bad "examples differ from the repository: $changed"
fi

# --- manual pages: man finds them, groff has nothing to say, every option is described ---------
pages=(ecrfisc ecr-sim)
[ $service = 0 ] || pages+=(ecr-service)
for p in "${pages[@]}"; do
  MANPATH=$tree/usr/share/man LANG=C.UTF-8 MANWIDTH=100 man --warnings -P cat "$p" >"$work/man-$p.txt" 2>"$work/man-$p.err"
  missing=$("$bin/$p" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u | while read -r o; do
    grep -qF -- "$o" "$work/man-$p.txt" || echo "$o"
  done)
  if grep -q "^NAME" "$work/man-$p.txt" && grep -q "^ *$p - " "$work/man-$p.txt" && [ ! -s "$work/man-$p.err" ] &&
    [ -z "$missing" ]; then
    ok "man $p: $(wc -l <"$work/man-$p.txt") lines, every option of --help"
  else
    echo "options of --help missing: $missing" >>"$work/man-$p.err"
    bad "man $p" "$work/man-$p.err"
  fi
done

# --- the installed programs together -------------------------------------------------------------
# The printer holds the two articles the sale example sells by number.
"$bin/ecr-sim" --link "$work/ttyECR1" --paper "$work/paper.txt" --busy-scale 0 \
  --clock fixed:2026-12-10T09:30 --article "1,А,1,12.50,Хлеб" --article "2,Б,1,30.00,Молоко" \
  >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/ttyECR1" ] && break; sleep 0.1; done
export MOLVEXECR_COM1=$work/ttyECR1 MOLVEXECR_DIR=$work

if "$bin/ecrfisc" --port 1 --probe >"$work/probe.txt" 2>&1 && grep -q 'GetSerNumber: Number = "LT00012345"' "$work/probe.txt"; then
  ok "ecrfisc --probe against ecr-sim"
else
  bad "ecrfisc --probe against ecr-sim" "$work/probe.txt"
fi

# Presence, clock, display.
"$bin/ecrfisc" --json 'SetComPort 1 115200' IsPresent DateTime 'DisplayUP "Добрый день"' \
  'CloseComPort 1' >"$work/session.txt" 2>&1
if grep -qx '{"call":"IsPresent","hresult":0,"out":{"Result":-1}}' "$work/session.txt" &&
  grep -qx '{"call":"DateTime","hresult":0,"out":{"Value":"10-12-26 09:30:00"}}' "$work/session.txt" &&
  grep -qx '{"call":"DisplayUP","hresult":0,"out":{"Result":-1}}' "$work/session.txt" &&
  grep -qx '{"call":"CloseComPort","hresult":0,"out":{"Result":1}}' "$work/session.txt"; then
  ok "a session of the installed ecrfisc with the installed ecr-sim"
else
  bad "a session of the installed ecrfisc with the installed ecr-sim" "$work/session.txt"
fi

# The sale of the installed example, as its first lines say to run it: every line's "=>" is met
# (else ecrfisc exits 1), and the paper roll shows the fiscal receipt with its three articles,
# the discount, both payments and the total, then the non-fiscal receipt.
"$bin/ecrfisc" --port 1 --speed 115200 --echo --script "$examples/sale.txt" >"$work/sale.txt" 2>&1
rc=$?
if [ $rc -eq 0 ] && ! grep -q 'NOT AS EXPECTED' "$work/sale.txt" &&
  grep -qx 'CloseFiscReceipt: Result = true' "$work/sale.txt" &&
  grep -qx 'CloseNonFiscReceipt: Result = true' "$work/sale.txt"; then
  ok "the installed examples/sale.txt: every call gave what its line says"
else
  bad "the installed examples/sale.txt (exit $rc)" "$work/sale.txt"
fi
missing=$(while IFS= read -r line; do grep -qxF -- "$line" "$work/paper.txt" || echo "$line"; done <<'ROLL'
Хлеб                     25.00 А
Молоко                   40.50 Б
Сок яблочный 1 л         89.90 Б
DISCOUNT                   -5.40
CARD                      100.00
CASH                       50.00
TOTAL                     150.00
      FISCAL RECEIPT
Спасибо за покупку!
Ждём вас снова.
      NON-FISCAL RECEIPT
ROLL
)
if [ -z "$missing" ] && [ "$(grep -cx '      FISCAL RECEIPT' "$work/paper.txt")" = 1 ]; then
  ok "the paper roll: the fiscal receipt (TOTAL 150.00) and the non-fiscal one"
else
  printf 'missing on the roll:\n%s\n--- the roll:\n' "$missing" >"$work/roll.txt"
  cat "$work/paper.txt" >>"$work/roll.txt" 2>/dev/null
  bad "the paper roll after the sale" "$work/roll.txt"
fi

[ $service = 0 ] || source "$root_dir/tests/package/check_service.sh"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
