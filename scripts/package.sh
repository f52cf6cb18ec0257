#!/usr/bin/env bash
# Builds the Debian package molvexecr_<version>_amd64.deb (Release build in build/package, only
# the programs it carries and the manual pages) and checks it with tests/package/check_package.sh.
# Usage: scripts/package.sh [NATIVE_ECRFISC]
#   NATIVE_ECRFISC  an ecrfisc of another build, whose --list the installed one must repeat
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MOLVEX_BUILD_DIR:-$PWD/build}/package
jobs=${MOLVEX_JOBS:-2}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLVEX_BENCH=OFF \
  -DMOLVEX_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs" --target package_contents
rm -f "$build"/molvexecr_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/molvexecr_*_amd64.deb)
echo "built $deb ($(stat -c %s "$deb") bytes)"
bash tests/package/check_package.sh "$deb" "${1:-}"
