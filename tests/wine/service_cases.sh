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
