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
# and ecr-service.exe (when the build has it) as built, docs\entries.md, and every example but
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
