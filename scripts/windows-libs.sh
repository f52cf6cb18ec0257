#!/usr/bin/env bash
# The Windows builds of the print service's libraries, cpp-httplib and SQLite, made from Debian's
# source packages with mingw-w64.
#   - Fetched with an apt configuration of this project's own: its source lines, package lists
#     and cache live under DIR/apt, so the machine's sources, lists and cache stay as they are,
#     and no other apt run is waited for. apt checks the archive's signed index (InRelease, with
#     Debian's archive keyring) and every file of a source package against the hashes it lists;
#     a file that fails either check stops the script.
#   - The same versions as the Linux development packages when those are installed and the
#     archive still carries them (so both builds run the same code), else the newest.
#   - Unpacked with Debian's patches (dpkg-source -x), built into DIR/<triplet>/{include,lib}
#     (static libraries, as the Windows programs link everything statically), which the
#     cross-build finds (cmake/windows_libs.cmake). DIR/<triplet>/versions names what was built;
#     when it names the wanted versions nothing is done.
# cpp-httplib: its header split into declarations and implementation (its own split.py, as
# Debian's build does) and the implementation compiled into libcpp-httplib.a, without TLS or
# compression. SQLite: the amalgamation made on this machine from the patched tree (configure,
# make sqlite3.c; needs a C compiler and tclsh), compiled with Debian's build options into
# libsqlite3.a.
# Usage: scripts/windows-libs.sh [DIR [TRIPLET...]]
#   DIR      default ${MOLVEX_BUILD_DIR:-build}/third_party
#   TRIPLET  x86_64-w64-mingw32 (default) and/or i686-w64-mingw32
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-${MOLVEX_BUILD_DIR:-$root/build}/third_party}")
shift || true
triplets=("$@")
[ ${#triplets[@]} -gt 0 ] || triplets=(x86_64-w64-mingw32)
jobs=${MOLVEX_JOBS:-2}

# source package, the Linux development package built from it
sources=(cpp-httplib sqlite3)
declare -A dev=([cpp-httplib]=libcpp-httplib-dev [sqlite3]=libsqlite3-dev)

installed_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || true; }

# Nothing to do when every triplet holds both libraries in the versions of the installed
# development packages (or in any version, when those are not installed).
built() {  # built TRIPLET
  local prefix=$dir/$1 s v
  [ -f "$prefix/versions" ] && [ -f "$prefix/lib/libcpp-httplib.a" ] && [ -f "$prefix/lib/libsqlite3.a" ] &&
    [ -f "$prefix/lib/cmake/httplib/httplibConfig.cmake" ] || return 1
  for s in "${sources[@]}"; do
    v=$(installed_version "${dev[$s]}")
    if [ -n "$v" ]; then grep -qxF "$s $v" "$prefix/versions" || return 1; fi
    grep -q "^$s " "$prefix/versions" || return 1
  done
}
todo=()
for t in "${triplets[@]}"; do
  case $t in
    x86_64-w64-mingw32 | i686-w64-mingw32) ;;
    *) echo "unknown triplet: $t" >&2; exit 2 ;;
  esac
  command -v "$t-g++-posix" >/dev/null || { echo "$t-g++-posix is missing (g++-mingw-w64)" >&2; exit 1; }
  built "$t" || todo+=("$t")
done
if [ ${#todo[@]} -eq 0 ]; then
  echo "Windows libraries already built in $dir (${triplets[*]})"
  exit 0
fi
for p in tclsh python3 cc dpkg-source; do
  command -v "$p" >/dev/null || { echo "$p is missing (see scripts/install-deps.sh)" >&2; exit 1; }
done

# --- fetch ------------------------------------------------------------------------------------
apt_dir=$dir/apt
rm -rf "$dir/src"
mkdir -p "$dir/build" "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$dir/src"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -f "$keyring" ] || { echo "$keyring is missing (debian-archive-keyring)" >&2; exit 1; }
cat >"$apt_dir/sources.list" <<LIST
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
LIST
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
  -o "Dir::Cache::archives=$apt_dir/cache/archives")
# Run as root, apt downloads as its own user _apt, which must be able to write there.
if [ "$(id -u)" = 0 ] && id _apt >/dev/null 2>&1; then
  chown _apt "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$dir/src"
fi
apt-get "${apt_opts[@]}" -qq update

fetch=()
for s in "${sources[@]}"; do
  v=$(installed_version "${dev[$s]}")
  if [ -n "$v" ] && apt-cache "${apt_opts[@]}" showsrc "$s" | grep -qx "Version: $v"; then
    fetch+=("$s=$v")
  else
    fetch+=("$s")
  fi
done
(cd "$dir/src" && apt-get "${apt_opts[@]}" -qq --download-only source "${fetch[@]}")
declare -A version tree upstream_of
for s in "${sources[@]}"; do
  dsc=$(cd "$dir/src" && ls "${s}"_*.dsc)
  version[$s]=$(sed -n 's/^Version: //p' "$dir/src/$dsc")
  upstream=${version[$s]%-*}
  upstream=${upstream#*:}
  upstream_of[$s]=${upstream%+*}
  tree[$s]=$dir/src/$s-$upstream
  # dpkg-source checks the files against the .dsc once more; the maintainer's signature on it
  # is checked where the debian-keyring package is installed, and only noted where it is not.
  (cd "$dir/src" && dpkg-source -x "$dsc" >"$dir/build/unpack-$s.log" 2>&1) ||
    { cat "$dir/build/unpack-$s.log" >&2; exit 1; }
  [ -d "${tree[$s]}" ] || { echo "unpacking $dsc made no ${tree[$s]}" >&2; exit 1; }
  echo "fetched $s ${version[$s]} (hashes checked by apt against the signed index)"
done

# --- the SQLite amalgamation, made once for every triplet -------------------------------------
amalg=$dir/build/sqlite3-amalgamation
rm -rf "$amalg"
mkdir -p "$amalg"
(cd "$amalg" && "${tree[sqlite3]}/configure" --disable-tcl >configure.log 2>&1 &&
  make -j"$jobs" sqlite3.c sqlite3.h sqlite3ext.h >make.log 2>&1) ||
  { tail -20 "$amalg"/*.log >&2; echo "the SQLite amalgamation failed" >&2; exit 1; }
# Debian's build options (debian/rules), less those that only its shared library and its shell
# need (load_extension stays: the service does not enable it, the library refuses it unasked).
sqlite_flags=(-O2 -fno-strict-aliasing -DNDEBUG -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA
  -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_FTS3_PARENTHESIS -DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5
  -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SOUNDEX=1 -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_OMIT_LOOKASIDE=1
  -DSQLITE_ENABLE_DBSTAT_VTAB -DSQLITE_ALLOW_ROWID_IN_VIEW -DSQLITE_ENABLE_UPDATE_DELETE_LIMIT=1
  -DSQLITE_ENABLE_JSON1 -DSQLITE_LIKE_DOESNT_MATCH_BLOBS -DSQLITE_THREADSAFE=1
  -DSQLITE_USE_URI=1 -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_ENABLE_PREUPDATE_HOOK
  -DSQLITE_ENABLE_SESSION -DSQLITE_ENABLE_STMTVTAB -DSQLITE_MAX_VARIABLE_NUMBER=250000)

# --- build per triplet, the triplets side by side ----------------------------------------------
build_triplet() {  # build_triplet TRIPLET
  local t=$1
  local prefix=$dir/$t
  local work=$dir/build/$t
  rm -rf "$prefix" "$work"
  mkdir -p "$prefix/include" "$prefix/lib" "$prefix/share/licenses" "$work/httplib"
  # SQLite, the longest compile, runs beside cpp-httplib's.
  "$t-gcc-posix" "${sqlite_flags[@]}" -c "$amalg/sqlite3.c" -o "$work/sqlite3.o" &
  local sqlite=$!

  python3 "${tree[cpp-httplib]}/split.py" --out "$work/httplib" >/dev/null
  "$t-g++-posix" -std=c++17 -O2 -DNDEBUG -I"$work/httplib" -c "$work/httplib/httplib.cc" \
    -o "$work/httplib.o"
  "$t-ar" rcs "$prefix/lib/libcpp-httplib.a" "$work/httplib.o"
  cp "$work/httplib/httplib.h" "$prefix/include/"
  cp "${tree[cpp-httplib]}/LICENSE" "$prefix/share/licenses/cpp-httplib.txt"
  # What CMake's find_package(httplib CONFIG) reads: the target httplib::httplib, as the
  # library's own CMake build names it.
  mkdir -p "$prefix/lib/cmake/httplib"
  cat >"$prefix/lib/cmake/httplib/httplibConfig.cmake" <<CONFIG
# cpp-httplib ${version[cpp-httplib]} for $t, built by scripts/windows-libs.sh: the split header
# and libcpp-httplib.a, without TLS or compression; it needs Winsock.
get_filename_component(_httplib_prefix "\${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET httplib::httplib)
  add_library(httplib::httplib STATIC IMPORTED)
  set_target_properties(httplib::httplib PROPERTIES
    IMPORTED_LOCATION "\${_httplib_prefix}/lib/libcpp-httplib.a"
    INTERFACE_INCLUDE_DIRECTORIES "\${_httplib_prefix}/include"
    INTERFACE_LINK_LIBRARIES ws2_32)
endif()
set(httplib_VERSION ${upstream_of[cpp-httplib]})
CONFIG

  wait "$sqlite" || { echo "compiling SQLite for $t failed" >&2; return 1; }
  "$t-ar" rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
  cp "$amalg/sqlite3.h" "$amalg/sqlite3ext.h" "$prefix/include/"
  cp "${tree[sqlite3]}/debian/copyright" "$prefix/share/licenses/sqlite3.txt"

  printf '%s\n' "cpp-httplib ${version[cpp-httplib]}" "sqlite3 ${version[sqlite3]}" >"$prefix/versions.new"
  mv "$prefix/versions.new" "$prefix/versions"
  echo "built $prefix: $(tr '\n' ' ' <"$prefix/versions")"
}
pids=()
for t in "${todo[@]}"; do
  build_triplet "$t" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
